// split_exports.cpp: E_分割文本, 子程序1 and E_取成员数. (placeholder)
#include "exports.h"

extern "C" int ZELK_LUA_CC brovane_splitText(lua_State*) { return 0; }
extern "C" int ZELK_LUA_CC brovane_subroutine1(lua_State*) { return 0; }
extern "C" int ZELK_LUA_CC brovane_memberCount(lua_State*) { return 0; }
