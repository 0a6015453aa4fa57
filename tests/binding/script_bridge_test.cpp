// script_bridge_test.cpp: ScriptBridge against a real Lua 5.1 state, with its
// boxes captured through the box hook.
#include "binding/script_bridge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/exports.h"
#include "box.h"

namespace {

using brovane::ScriptBridge;

struct Box {
  std::string text, title;
  zelk::BoxIcon icon;
};
std::vector<Box> boxes;

void captureBox(const char* text, const char* title, zelk::BoxIcon icon) {
  boxes.push_back({text, title, icon});
}

// GBK texts of the boxes.
const std::string scriptError = "\xBD\xC5\xB1\xBE\xB4\xED\xCE\xF3\r\n";           // 脚本错误
const std::string runtimeError = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED\r\n";  // 运行时出错
const std::string codeJoint = ",\xB4\xED\xCE\xF3\xC2\xEB ==";                     // ,错误码 ==
const std::string callError = "LUA_\xD4\xCB\xD0\xD0\xCA\xB1\xB4\xED\xCE\xF3\r\n";  // LUA_运行时错误
const std::string noError = "\xC3\xBB\xD3\xD0\xB4\xED\xCE\xF3\xA3\xA1";        // 没有错误！
const std::string runErrorText = "\xD4\xCB\xD0\xD0\xB4\xED\xCE\xF3\xA3\xA1";   // 运行错误！
const std::string fileErrorText = "\xCE\xC4\xBC\xFE\xB4\xED\xCE\xF3\xA3\xA1";  // 文件错误！
const std::string syntaxErrorText =
    "\xD4\xA4\xB1\xE0\xD2\xEB\xCA\xB1\xBE\xE4\xB7\xA8\xB4\xED\xCE\xF3\xA3"
    "\xA1";  // 预编译时句法错误！
const std::string memoryErrorText =
    "\xC4\xDA\xB4\xE6\xB7\xD6\xC5\xE4\xB4\xED\xCE\xF3\xA3\xA1";  // 内存分配错误！
const std::string handlerErrorText = "LUA_ERRERR\xA3\xA1";       // LUA_ERRERR！
const std::string unknownText =
    "\xCE\xB4\xD6\xAA\xB7\xB5\xBB\xD8\xC0\xE0\xD0\xCD!";  // 未知返回类型!

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes.clear();
    zelk::setBoxHook(captureBox);
    brovane::createScriptBridge();
    L = luaL_newstate();
    luaL_openlibs(L);
    bridge().setState(L);
  }
  void TearDown() override {
    if (L) lua_close(L);
    brovane::releaseScriptBridge();
    zelk::setBoxHook(nullptr);
  }
  ScriptBridge& bridge() { return brovane::scriptBridge(); }
  std::string topString() {
    const char* text = lua_tolstring(L, -1, nullptr);
    return text ? text : "<no text>";
  }
  lua_State* L = nullptr;
};

int ZELK_LUA_CC returnSeven(lua_State* state) {
  lua_pushnumber(state, 7);
  return 1;
}

TEST_F(BridgeTest, ToTextGivesTextFormsAndNullOtherwise) {
  lua_pushnumber(L, 12);
  EXPECT_STREQ(bridge().toText(1).get(), "12");
  lua_pushlstring(L, "ab\0cd", 5);
  EXPECT_STREQ(bridge().toText(1).get(), "ab");
  EXPECT_STREQ(bridge().textAt(1), "ab");
  EXPECT_STREQ(bridge().toText(2).get(), "12");  // by distance from the top
  lua_pushnil(L);
  EXPECT_EQ(bridge().toText(1), nullptr);
  lua_createtable(L, 0, 0);
  EXPECT_EQ(bridge().toText(1), nullptr);
  lua_pushboolean(L, 1);
  EXPECT_EQ(bridge().toText(1), nullptr);
  lua_pushstring(L, "");
  ASSERT_NE(bridge().toText(1), nullptr);  // empty but present
  EXPECT_STREQ(bridge().toText(1).get(), "");
  // Past the bottom of the stack: a missing value, not whatever lies below.
  EXPECT_EQ(bridge().toText(lua_gettop(L) + 1), nullptr);
  EXPECT_EQ(bridge().textAt(0), nullptr);
  EXPECT_EQ(bridge().textAt(-1), nullptr);
}

TEST_F(BridgeTest, ToNumberToBooleanToCFunction) {
  const struct {
    const char* chunk;  // leaves one value on the stack
    double number;
    int boolean;
  } cases[] = {
      {"return '12'", 12, 1}, {"return 'x'", 0, 1},   {"return nil", 0, 0},
      {"return 2.5", 2.5, 1}, {"return false", 0, 0}, {"return '0x10'", 16, 1},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(luaL_loadstring(L, c.chunk), 0);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0);
    EXPECT_EQ(bridge().toNumber(1), c.number) << c.chunk;
    EXPECT_EQ(bridge().toBoolean(1), c.boolean) << c.chunk;
    lua_settop(L, 0);
  }
  EXPECT_EQ(bridge().toNumber(1), 0);  // empty stack
  EXPECT_EQ(bridge().toBoolean(1), 0);
  EXPECT_EQ(bridge().toCFunction(1), nullptr);
  lua_pushcclosure(L, returnSeven, 0);
  EXPECT_EQ(bridge().toCFunction(1), returnSeven);
}

TEST_F(BridgeTest, PushesOntoTheStoredState) {
  bridge().pushText(nullptr);
  EXPECT_EQ(lua_type(L, -1), LUA_TYPE_NIL);
  bridge().pushText("");
  EXPECT_EQ(lua_type(L, -1), LUA_TYPE_STRING);
  EXPECT_EQ(lua_objlen(L, -1), 0u);
  bridge().pushText("\xD6\xD0");
  EXPECT_EQ(topString(), "\xD6\xD0");
  bridge().pushBoolean(1);
  EXPECT_EQ(lua_type(L, -1), LUA_TYPE_BOOLEAN);
  EXPECT_EQ(lua_toboolean(L, -1), 1);
  bridge().pushNumber(-2.5);
  EXPECT_EQ(lua_tonumber(L, -1), -2.5);
  bridge().pushFunction(L, returnSeven);
  EXPECT_EQ(lua_tocfunction(L, -1), returnSeven);
  EXPECT_EQ(bridge().getTop(), 6);
}

TEST_F(BridgeTest, PopAndDropValues) {
  for (int i = 0; i < 5; ++i) lua_pushnumber(L, i);
  bridge().pop(0);
  EXPECT_EQ(lua_gettop(L), 5);
  bridge().pop(2);
  EXPECT_EQ(lua_gettop(L), 3);
  EXPECT_EQ(lua_tonumber(L, -1), 2);
  bridge().dropValues(1);
  EXPECT_EQ(lua_gettop(L), 2);
  bridge().pop(-3);  // nothing to remove
  EXPECT_EQ(lua_gettop(L), 2);
  bridge().pop(10);  // more than there are: empties the stack, no further
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(BridgeTest, TypeChecks) {
  lua_pushnil(L);                       // 1
  lua_pushboolean(L, 0);                // 2
  lua_createtable(L, 0, 0);             // 3
  lua_pushcclosure(L, returnSeven, 0);  // 4
  lua_pushnumber(L, 1);                 // 5
  ScriptBridge& b = bridge();
  const struct {
    int index;
    int type;
  } cases[] = {{1, LUA_TYPE_NIL},
               {2, LUA_TYPE_BOOLEAN},
               {3, LUA_TYPE_TABLE},
               {4, LUA_TYPE_FUNCTION},
               {5, LUA_TYPE_NUMBER},
               {-1, LUA_TYPE_NUMBER},
               {-5, LUA_TYPE_NIL},
               {6, LUA_TYPE_NONE},
               {-6, LUA_TYPE_NONE},
               {0, LUA_TYPE_NONE},
               {-9999, LUA_TYPE_NONE},
               {LUA_GLOBALS_INDEX, LUA_TYPE_TABLE},
               {LUA_REGISTRY_INDEX, LUA_TYPE_TABLE},
               {LUA_GLOBALS_INDEX - 1, LUA_TYPE_NONE}};
  for (const auto& c : cases) {
    EXPECT_EQ(b.typeAt(c.index), c.type) << c.index;
    EXPECT_EQ(b.isNil(L, c.index), c.type == LUA_TYPE_NIL) << c.index;
    EXPECT_EQ(b.isBoolean(L, c.index), c.type == LUA_TYPE_BOOLEAN) << c.index;
    EXPECT_EQ(b.isTable(L, c.index), c.type == LUA_TYPE_TABLE) << c.index;
    EXPECT_EQ(b.isFunction(L, c.index), c.type == LUA_TYPE_FUNCTION) << c.index;
    EXPECT_EQ(b.isLightUserdata(L, c.index), false) << c.index;
    EXPECT_EQ(b.isNone(L, c.index), c.type == LUA_TYPE_NONE) << c.index;
    EXPECT_EQ(b.isNoneOrNil(L, c.index), c.type <= 0) << c.index;
  }
  // The checks use the state they are given, not the stored one.
  lua_State* other = luaL_newstate();
  EXPECT_TRUE(b.isNone(other, 1));
  EXPECT_TRUE(b.isNil(L, 1));
  lua_close(other);
}

TEST_F(BridgeTest, GlobalsAndRegisteredFunctions) {
  bridge().registerFunction("seven", returnSeven);
  ASSERT_EQ(luaL_loadstring(L, "answer = seven() * 6"), 0);
  ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0);
  bridge().getGlobal("answer");
  EXPECT_EQ(lua_tonumber(L, -1), 42);
  bridge().fetchGlobal("seven");
  EXPECT_EQ(lua_tocfunction(L, -1), returnSeven);
  bridge().getGlobal("nothing here");
  EXPECT_EQ(lua_type(L, -1), LUA_TYPE_NIL);
  EXPECT_EQ(lua_gettop(L), 3);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(BridgeTest, ErrorTextsFollowLuaStatuses) {
  const struct {
    int luaStatus;
    const std::string& text;
  } cases[] = {
      {LUA_OK_STATUS, noError},
      {LUA_ERRRUN_STATUS, runErrorText},
      {LUA_ERRFILE_STATUS, fileErrorText},
      {LUA_ERRSYNTAX_STATUS, syntaxErrorText},
      {LUA_ERRMEM_STATUS, memoryErrorText},
      {LUA_ERRERR_STATUS, handlerErrorText},
      {LUA_YIELD_STATUS, unknownText},
      {7, unknownText},
      {-1, unknownText},
      {1000, unknownText},
  };
  for (const auto& c : cases) EXPECT_EQ(bridge().errorText(c.luaStatus), c.text) << c.luaStatus;
}

TEST_F(BridgeTest, RunStringSyntaxErrorShowsBoxAndLeavesMessage) {
  EXPECT_FALSE(bridge().runString("x = = 1"));
  ASSERT_EQ(boxes.size(), 1u);
  const std::string message = topString();
  EXPECT_NE(message.find("'='"), std::string::npos) << message;
  EXPECT_EQ(boxes[0].text, scriptError + syntaxErrorText + codeJoint + message);
  EXPECT_EQ(boxes[0].title, "Zelk Error");
  EXPECT_EQ(boxes[0].icon, zelk::BoxIcon::none);
}

TEST_F(BridgeTest, RunStringRuntimeErrorShowsBox) {
  EXPECT_FALSE(bridge().runString("error('boom')"));
  ASSERT_EQ(boxes.size(), 1u);
  const std::string message = topString();
  EXPECT_NE(message.find("boom"), std::string::npos) << message;
  EXPECT_EQ(boxes[0].text, runtimeError + runErrorText + codeJoint + message);
  EXPECT_EQ(boxes[0].title, "Zelk Error");
}

TEST_F(BridgeTest, RunStringErrorWithoutTextForm) {
  EXPECT_FALSE(bridge().runString("error({})"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, runtimeError + runErrorText + codeJoint);  // empty message
}

TEST_F(BridgeTest, RunStringOfAYieldingChunkFails) {
  EXPECT_FALSE(bridge().runString("coroutine.yield(1)"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind(runtimeError + unknownText + codeJoint, 0), 0u) << boxes[0].text;
}

TEST_F(BridgeTest, RunStringSuccessOpensLibrariesAfterLoading) {
  lua_close(L);
  L = bridge().newState();  // no libraries yet: runString opens them
  ASSERT_NE(L, nullptr);
  EXPECT_EQ(bridge().state(), L);
  EXPECT_TRUE(bridge().runString("result = string.rep('ab', 2)"));
  EXPECT_TRUE(boxes.empty());
  bridge().getGlobal("result");
  EXPECT_EQ(topString(), "abab");
}

TEST_F(BridgeTest, ProtectedCall) {
  ASSERT_EQ(luaL_loadstring(L, "return 1 + 2"), 0);
  bridge().protectedCall(0, 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(lua_tonumber(L, -1), 3);
  ASSERT_EQ(luaL_loadstring(L, "error('inside')"), 0);
  bridge().protectedCall(0, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, callError + runErrorText);
  EXPECT_EQ(boxes[0].title, "Zelk Error");
  EXPECT_NE(topString().find("inside"), std::string::npos);  // left on the stack
}

TEST_F(BridgeTest, CopyAndStateLifecycle) {
  ScriptBridge* twin = bridge().copy();
  EXPECT_EQ(twin->state(), L);
  EXPECT_NE(twin, &bridge());
  twin->destroy();
  twin->~ScriptBridge();
  zelk::heapFree(twin);
  lua_State* made = bridge().newState();
  EXPECT_EQ(bridge().state(), made);
  bridge().closeState();
  EXPECT_EQ(bridge().state(), made);  // the pointer stays
  bridge().setState(L);
  bridge().emptyCheck(1, 2);
  EXPECT_EQ(bridge().getTop(), 0);
}

// An export called with fewer arguments than it reads sees missing values,
// not the values of its caller below its frame.
TEST_F(BridgeTest, ExportsReadMissingArgumentsAsMissing) {
  lua_pushstring(L, "a,b,c");  // caller's values, below the call
  lua_pushstring(L, ",");
  lua_pushcclosure(L, brovane_splitText, 0);
  lua_pushnumber(L, 2);
  ASSERT_EQ(lua_pcall(L, 1, 1, 0), 0);
  EXPECT_EQ(lua_type(L, -1), LUA_TYPE_BOOLEAN);
  EXPECT_EQ(lua_toboolean(L, -1), 0);
  lua_pushcclosure(L, brovane_memberCount, 0);
  lua_pushstring(L, ",");
  ASSERT_EQ(lua_pcall(L, 1, 1, 0), 0);
  EXPECT_EQ(lua_tonumber(L, -1), 0);
  EXPECT_EQ(lua_gettop(L), 4);
  // Called directly on a stack that holds more: the top values are read.
  lua_settop(L, 0);
  lua_pushstring(L, "p|q");
  lua_pushstring(L, "|");
  EXPECT_EQ(brovane_memberCount(L), 1);
  EXPECT_EQ(lua_tonumber(L, -1), 2);
  EXPECT_EQ(bridge().state(), L);
}

}  // namespace
