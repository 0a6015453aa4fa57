// client_exports_test.cpp: the client exports on a real Lua state, with the
// engine's events handed to 回调函数 directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "binding/script_bridge.h"
#include "exports.h"
#include "listener.h"
#include "net/client_globals.h"
#include "net/engine.h"

namespace net = brovane::net;

namespace {

class ClientExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    brovane::createScriptBridge();
    net::createClientGlobals();
    L = luaL_newstate();
  }
  void TearDown() override {
    lua_close(L);
    net::releaseClientGlobals();
    brovane::releaseScriptBridge();
  }
  // What 取封包 hands out: "<none>" for no value, "<nil>" for nil.
  std::string takePacket() {
    lua_settop(L, 0);
    if (brovane_getPacket(L) == 0) return "<none>";
    const char* text = lua_tolstring(L, -1, nullptr);
    return text ? text : "<nil>";
  }
  bool flag() {
    lua_settop(L, 0);
    brovane_isDisconnected(L);
    return lua_toboolean(L, -1) != 0;
  }
  void deliver(uint32_t event, int32_t slot, const char* bytes) {
    net::IoRecord record{};
    record.slot = slot;
    record.bufferData = reinterpret_cast<uint8_t*>(const_cast<char*>(bytes));
    brovane_eventCallback(0, event, reinterpret_cast<uintptr_t>(&record),
                          event == net::dataEvent ? static_cast<uint32_t>(std::strlen(bytes)) : 0);
  }
  lua_State* L = nullptr;
};

// While a slot is held, another slot's late events change neither the
// packet nor the flag; with none held, a late chunk empties the packet.
TEST_F(ClientExportsTest, EventsOfAnotherSlotAreStale) {
  nettest::Listener listener;
  const int32_t slot = net::findFreeSlot();
  lua_pushstring(L, "127.0.0.1");
  lua_pushnumber(L, listener.port());
  ASSERT_EQ(brovane_connect(L), 1);
  ASSERT_TRUE(lua_toboolean(L, -1));
  ASSERT_TRUE(listener.accept());

  deliver(net::dataEvent, slot + 1, "stale");
  EXPECT_EQ(takePacket(), "<none>");
  deliver(net::closedEvent, slot + 1, "");
  EXPECT_FALSE(flag());
  deliver(net::dataEvent, slot, "fresh");
  EXPECT_EQ(takePacket(), "fresh");
  EXPECT_EQ(takePacket(), "<none>");

  deliver(net::dataEvent, slot, "untaken");
  lua_settop(L, 0);
  EXPECT_EQ(brovane_disconnect(L), 0);  // nothing pushed, nothing returned
  EXPECT_EQ(lua_gettop(L), 0);
  EXPECT_TRUE(flag());  // the connection's own end came before the engine stopped

  deliver(net::dataEvent, slot + 1, "late");  // no slot held: it empties the packet
  EXPECT_EQ(takePacket(), "<none>");
}

TEST_F(ClientExportsTest, FlagFollowsConnectResults) {
  EXPECT_FALSE(flag());  // before any connect
  uint16_t deadPort = 0;
  {
    nettest::Listener gone;
    deadPort = gone.port();
  }
  lua_pushstring(L, "127.0.0.1");
  lua_pushnumber(L, deadPort);
  ASSERT_EQ(brovane_connect(L), 1);
  EXPECT_FALSE(lua_toboolean(L, -1));
  EXPECT_TRUE(flag());
  lua_settop(L, 0);
  brovane_disconnect(L);
}

}  // namespace
