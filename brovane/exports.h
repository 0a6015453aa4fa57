// exports.h: the twelve exports of Brovane under their internal names. The
// export table gives them their GBK names (exports.def.in on Windows,
// export_names_posix.cpp natively).
#pragma once

#include <cstdint>

#include "lua_api.h"

extern "C" {

int ZELK_LUA_CC brovane_splitText(lua_State* L);    // E_分割文本
int ZELK_LUA_CC brovane_memberCount(lua_State* L);  // E_取成员数
int ZELK_LUA_CC brovane_disconnect(lua_State* L);   // 断开连接
int ZELK_LUA_CC brovane_sendData(lua_State* L);     // 发送数据
int ZELK_LUA_CC brovane_encrypt(lua_State* L);      // 加密
int ZELK_LUA_CC brovane_decrypt(lua_State* L);      // 解密
int ZELK_LUA_CC brovane_connect(lua_State* L);      // 连接
int ZELK_LUA_CC brovane_getPacket(lua_State* L);    // 取封包
int ZELK_LUA_CC brovane_machineCode(lua_State* L);  // 取机器码
int ZELK_LUA_CC brovane_isDisconnected(lua_State* L);  // 是否已断开
int ZELK_LUA_CC brovane_subroutine1(lua_State* L);  // 子程序1

// 回调函数: the engine's event callback; four 32-bit values on the 32-bit
// build (the record address is pointer-wide natively).
void ZELK_STDCALL brovane_eventCallback(uint32_t callbackValue, uint32_t event,
                                        uintptr_t record, uint32_t byteCount);

}  // extern "C"
