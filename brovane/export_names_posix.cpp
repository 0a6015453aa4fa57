// export_names_posix.cpp: the GBK export names of Brovane.so. C++ names
// cannot hold GBK bytes, so each export is a symbol named by an asm label.
#include "exports.h"

#define GBK_EXPORT(label, internal)                                                   \
  extern "C" ZELK_EXPORT int internal##_gbk(lua_State* L) __asm__(label);            \
  extern "C" int internal##_gbk(lua_State* L) { return internal(L); }

GBK_EXPORT("E_\xB7\xD6\xB8\xEE\xCE\xC4\xB1\xBE", brovane_splitText)    // E_分割文本
GBK_EXPORT("E_\xC8\xA1\xB3\xC9\xD4\xB1\xCA\xFD", brovane_memberCount)  // E_取成员数
GBK_EXPORT("\xB6\xCF\xBF\xAA\xC1\xAC\xBD\xD3", brovane_disconnect)     // 断开连接
GBK_EXPORT("\xB7\xA2\xCB\xCD\xCA\xFD\xBE\xDD", brovane_sendData)       // 发送数据
GBK_EXPORT("\xBC\xD3\xC3\xDC", brovane_encrypt)                        // 加密
GBK_EXPORT("\xBD\xE2\xC3\xDC", brovane_decrypt)                        // 解密
GBK_EXPORT("\xC1\xAC\xBD\xD3", brovane_connect)                        // 连接
GBK_EXPORT("\xC8\xA1\xB7\xE2\xB0\xFC", brovane_getPacket)              // 取封包
GBK_EXPORT("\xC8\xA1\xBB\xFA\xC6\xF7\xC2\xEB", brovane_machineCode)    // 取机器码
GBK_EXPORT("\xCA\xC7\xB7\xF1\xD2\xD1\xB6\xCF\xBF\xAA", brovane_isDisconnected)  // 是否已断开
GBK_EXPORT("\xD7\xD3\xB3\xCC\xD0\xF2\x31", brovane_subroutine1)        // 子程序1

// 回调函数
extern "C" ZELK_EXPORT void brovane_eventCallback_gbk(uint32_t value, uint32_t event,
                                                      uintptr_t record, uint32_t count)
    __asm__("\xBB\xD8\xB5\xF7\xBA\xAF\xCA\xFD");
extern "C" void brovane_eventCallback_gbk(uint32_t value, uint32_t event, uintptr_t record,
                                          uint32_t count) {
  brovane_eventCallback(value, event, record, count);
}
