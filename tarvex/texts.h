// texts.h: the tool's own texts, GBK bytes (the UTF-8 form in the comments).
#pragma once

namespace tarvex::texts {

inline constexpr char readyToStart[] = "\xD7\xBC\xB1\xB8\xBF\xAA\xCA\xBC";  // 准备开始
inline constexpr char done[] = "\xD2\xD1\xCD\xEA\xB3\xC9";                  // 已完成
inline constexpr char start[] = "\xBF\xAA\xCA\xBC";                         // 开始

inline constexpr char errorTitle[] = "\xB4\xED\xCE\xF3";                             // 错误
inline constexpr char runtimeError[] = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";  // 运行时出错!
inline constexpr char errorCode[] = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";  // 错误代码：
inline constexpr char errorMessage[] = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";  // 错误信息：

// 载入启动窗口失败
inline constexpr char startWindowFailed[] =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";
// 分配 %d 字节内存失败!
inline constexpr char allocationFailed[] =
    "\xB7\xD6\xC5\xE4 %d \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";

}  // namespace tarvex::texts
