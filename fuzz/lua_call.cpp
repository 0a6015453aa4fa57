// lua_call.cpp: a Lua state with Brovane loaded, and calls into its exports.
#include "lua_call.h"

#include <cstdio>
#include <cstdlib>

#include "library.h"

namespace fuzz {

lua_State* sharedState() {
  static lua_State* state = [] {
    brovane::loadLibrary();
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    return L;
  }();
  return state;
}

static std::string describe(lua_State* L, int index) {
  switch (lua_type(L, index)) {
    case LUA_TYPE_NIL:
      return "<nil>";
    case LUA_TYPE_BOOLEAN:
      return lua_toboolean(L, index) ? "<true>" : "<false>";
    case LUA_TYPE_NUMBER:
      return "<number:" + std::to_string(lua_tonumber(L, index)) + ">";
    case LUA_TYPE_STRING: {
      size_t length = 0;
      const char* bytes = lua_tolstring(L, index, &length);
      return "s:" + std::string(bytes, length);
    }
    default:
      return "<other>";
  }
}

std::vector<std::string> callExport(lua_CFunction exportFunction,
                                    const std::vector<std::string>& arguments) {
  lua_State* L = sharedState();
  lua_settop(L, 0);
  for (const std::string& argument : arguments) {
    lua_pushlstring(L, argument.data(), argument.size());
  }
  const int before = lua_gettop(L);
  const int count = exportFunction(L);
  if (lua_gettop(L) != before + count) fail("export pushed another count than it returned");
  std::vector<std::string> results;
  for (int i = before + 1; i <= before + count; ++i) results.push_back(describe(L, i));
  lua_settop(L, 0);
  return results;
}

std::vector<std::string> splitInput(const uint8_t* data, size_t size, size_t count) {
  std::vector<std::string> pieces(count);
  size_t piece = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && piece + 1 < count) {
      ++piece;
      continue;
    }
    pieces[piece].push_back(static_cast<char>(data[i]));
  }
  return pieces;
}

void fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

}  // namespace fuzz
