// register_exports.cpp: the Lua exports of Brovane, registered by name.
#include "register_exports.h"

#include <cstdio>

namespace host {

namespace {

struct ExportName {
  const char* gbk;
  const char* alias;
};

// The Lua exports of Brovane (回调函数 is not one: the engine calls it).
const ExportName exportNames[] = {
#define BROVANE_LUA_EXPORT(ordinal, internal, gbk, alias) {gbk, alias},
#define BROVANE_CALLBACK_EXPORT(ordinal, internal, gbk)
#include "export_table.inc"
};

}  // namespace

int registerExports(lua_State* L, const Library& library, const char* program) {
  int missing = 0;
  for (const ExportName& name : exportNames) {
    auto function = reinterpret_cast<lua_CFunction>(library.symbol(name.gbk));
    if (function == nullptr) {
      std::fprintf(stderr, "%s: export %s not found\n", program, name.alias);
      ++missing;
      continue;
    }
    lua_pushcclosure(L, function, 0);
    lua_setfield(L, LUA_GLOBALS_INDEX, name.gbk);
    lua_pushcclosure(L, function, 0);
    lua_setfield(L, LUA_GLOBALS_INDEX, name.alias);
  }
  return missing;
}

}  // namespace host
