// register_exports.h: Brovane's Lua exports put into a Lua state as a host
// puts them: each looked up by its GBK name (from the export table the build
// generates) and set as a global under that name and its ASCII alias.
#pragma once

#include "library.h"
#include "lua_api.h"

namespace host {

// Returns how many exports were not found; each is named on stderr after
// program.
int registerExports(lua_State* L, const Library& library, const char* program);

}  // namespace host
