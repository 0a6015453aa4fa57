// exports.h: the twelve exports of Brovane under their internal names. Their
// GBK names and ordinals come from exports.txt, through export_table.inc.
#pragma once

#include <cstdint>

#include "lua_api.h"

extern "C" {

#define BROVANE_LUA_EXPORT(ordinal, internal, gbk, alias) int ZELK_LUA_CC internal(lua_State* L);
#define BROVANE_CALLBACK_EXPORT(ordinal, internal, gbk)
#include "export_table.inc"
#undef BROVANE_LUA_EXPORT
#undef BROVANE_CALLBACK_EXPORT

// 回调函数: the engine's event callback; four 32-bit values on the 32-bit
// build (the record address is pointer-wide natively and on 64-bit Windows).
void ZELK_STDCALL brovane_eventCallback(uint32_t callbackValue, uint32_t event, uintptr_t record,
                                        uint32_t byteCount);

}  // extern "C"
