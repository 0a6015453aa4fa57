// machine_code_export.cpp: 取机器码. (placeholder)
#include "exports.h"

extern "C" int ZELK_LUA_CC brovane_machineCode(lua_State*) { return 0; }
