// library_test.cpp: load and unload of Brovane's globals around export calls.
#include "library.h"

#include <gtest/gtest.h>

#include <string>

#include "binding/exports.h"
#include "binding/script_bridge.h"

namespace {

std::string callEncrypt(lua_State* L, const char* text) {
  lua_settop(L, 0);
  lua_pushstring(L, text);
  lua_pushstring(L, "key");
  EXPECT_EQ(brovane_encrypt(L), 1);
  const char* result = lua_tolstring(L, -1, nullptr);
  return result ? result : "<nil>";
}

TEST(Library, LoadCallUnloadCycles) {
  for (int cycle = 0; cycle < 3; ++cycle) {
    brovane::loadLibrary();
    EXPECT_EQ(brovane::scriptBridge().state(), nullptr);
    lua_State* L = luaL_newstate();
    const std::string cipherText = callEncrypt(L, "text of the cycle");
    // Each call works through a bridge of its own: the library-wide one is untouched.
    EXPECT_EQ(brovane::scriptBridge().state(), nullptr);
    EXPECT_EQ(cipherText.size(), 16u + 2 * 17);
    lua_settop(L, 0);
    lua_pushstring(L, cipherText.c_str());
    lua_pushstring(L, "key");
    EXPECT_EQ(brovane_decrypt(L), 1);
    EXPECT_STREQ(lua_tolstring(L, -1, nullptr), "text of the cycle");
    EXPECT_EQ(callEncrypt(L, ""), "<nil>");  // an empty result replaces the last one
    lua_close(L);
    brovane::unloadLibrary();  // frees the result slots (checked under the sanitizers)
    brovane::unloadLibrary();  // a second unload, as after a fatal box, finds nothing
  }
}

}  // namespace
