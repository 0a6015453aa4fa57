// client_exports_test.cpp: the client exports on a real Lua state, with the
// engine's events handed to 回调函数 directly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "binding/exports.h"
#include "binding/script_bridge.h"
#include "listener.h"
#include "net/client_globals.h"
#include "net/engine.h"
#include "net/frame.h"
#include "page.h"

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
    brovane_eventCallback(static_cast<uint32_t>(slot), event, reinterpret_cast<uintptr_t>(&record),
                          event == net::dataEvent ? static_cast<uint32_t>(std::strlen(bytes)) : 0);
  }
  bool connectTo(const nettest::Listener& listener) {
    lua_settop(L, 0);
    lua_pushstring(L, "127.0.0.1");
    lua_pushnumber(L, listener.port());
    return brovane_connect(L) == 1 && lua_toboolean(L, -1);
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

// A host may call 回调函数 with a record of its own, laid out as the contract
// gives it (OVERLAPPED, operation, the buffer's length and address): it is
// read no further, even at the very end of readable memory.
TEST_F(ClientExportsTest, AHostsOwnRecordIsReadNoFurtherThanItsBuffer) {
  nettest::Listener listener;
  ASSERT_TRUE(connectTo(listener));
  ASSERT_TRUE(listener.accept());
  const size_t size = offsetof(net::IoRecord, blockStart);  // 32 bytes on 32-bit
  unsigned char* record = pageBeforeAnUnreadableOne() + 4096 - size;
  const char* hello = "hello";
  const uint32_t length = 5;
  std::memcpy(record + offsetof(net::IoRecord, bufferLength), &length, sizeof length);
  std::memcpy(record + offsetof(net::IoRecord, bufferData), &hello, sizeof hello);
  brovane_eventCallback(0, net::dataEvent, reinterpret_cast<uintptr_t>(record), length);
  EXPECT_EQ(takePacket(), "hello");
  brovane_eventCallback(0, net::closedEvent, reinterpret_cast<uintptr_t>(record), 0);
  EXPECT_TRUE(flag());
  lua_settop(L, 0);
  brovane_disconnect(L);
}

// A peer that answers the last frame a moment later and then closes: the
// answer comes while 断开连接 waits for the peer's end, and is kept.
TEST_F(ClientExportsTest, AGoodbyeDuringTheEndIsKept) {
  nettest::Listener listener;
  ASSERT_TRUE(connectTo(listener));
  ASSERT_TRUE(listener.accept());
  std::thread peer([&] {
    listener.receive(13);  // the frame of "bye?"
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    listener.send("bye");
    listener.receiveToEnd();
    listener.closeConnection();
  });
  lua_settop(L, 0);
  lua_pushnumber(L, 1);
  lua_pushstring(L, "bye");
  ASSERT_EQ(brovane_sendData(L), 1);
  lua_settop(L, 0);
  brovane_disconnect(L);
  peer.join();
  EXPECT_EQ(takePacket(), "bye");
  EXPECT_TRUE(flag());
}

// A host's allocator with a ceiling: Lua's memory may grow by at most
// `room` bytes past what it held when the ceiling was set.
struct CappedMemory {
  size_t used = 0;
  size_t limit = 0;  // 0: none
};

void* ZELK_LUA_CC cappedAllocate(void* ud, void* block, size_t oldSize, size_t newSize) {
  auto* memory = static_cast<CappedMemory*>(ud);
  if (newSize == 0) {
    std::free(block);
    memory->used -= oldSize;
    return nullptr;
  }
  const size_t before = block != nullptr ? oldSize : 0;
  if (memory->limit != 0 && newSize > before && memory->used + newSize - before > memory->limit)
    return nullptr;
  void* grown = std::realloc(block, newSize);
  if (grown != nullptr) memory->used = memory->used + newSize - before;
  return grown;
}

// Every export whose result Lua has no room for raises Lua's own memory
// error, as any Lua function would; with room, the same call succeeds, and
// 取封包 still has the chunk it could not hand out.
TEST_F(ClientExportsTest, ExportsRaiseLuasMemoryErrorAndKeepWhatTheyHold) {
  nettest::Listener listener;
  ASSERT_TRUE(connectTo(listener));
  ASSERT_TRUE(listener.accept());
  const std::string text(3000, 'q');
  lua_pushstring(L, text.c_str());
  lua_pushstring(L, "k");
  ASSERT_EQ(brovane_encrypt(L), 1);
  const std::string cipherText = lua_tolstring(L, -1, nullptr);
  const std::string chunk(4000, 'c');
  net::IoRecord record{};
  record.bufferData = reinterpret_cast<uint8_t*>(const_cast<char*>(chunk.data()));
  brovane_eventCallback(0, net::dataEvent, reinterpret_cast<uintptr_t>(&record), 4000);

  const struct {
    const char* name;
    lua_CFunction function;
    std::string arguments[3];
    int argumentCount;
    size_t resultBytes;
  } cases[] = {
      {"encrypt", brovane_encrypt, {text, "k"}, 2, cipherText.size()},
      {"decrypt", brovane_decrypt, {cipherText, "k"}, 2, text.size()},
      {"split_text", brovane_splitText, {text + "," + text, ",", "2"}, 3, text.size()},
      {"machine_code", brovane_machineCode, {}, 0, 35},
      {"get_packet", brovane_getPacket, {}, 0, chunk.size()},
  };
  CappedMemory memory;
  lua_State* state = lua_newstate(cappedAllocate, &memory);
  ASSERT_NE(state, nullptr);
  for (const auto& c : cases) {
    for (size_t room : {size_t{16}, c.resultBytes + 1024}) {
      lua_settop(state, 0);
      lua_pushcclosure(state, c.function, 0);
      for (int i = 0; i < c.argumentCount; ++i)
        lua_pushlstring(state, c.arguments[i].data(), c.arguments[i].size());
      lua_gc(state, 2 /* LUA_GCCOLLECT */, 0);
      memory.limit = memory.used + room;
      const int status = lua_pcall(state, c.argumentCount, 1, 0);
      memory.limit = 0;
      EXPECT_EQ(status, room == 16 ? LUA_ERRMEM_STATUS : 0) << c.name << " with room " << room;
    }
    EXPECT_EQ(lua_objlen(state, -1), c.resultBytes) << c.name;
  }
  lua_close(state);
  lua_settop(L, 0);
  brovane_disconnect(L);
}

// 断开连接 keeps its time whatever the peer does: against one that neither
// reads nor ends, with 16 MiB waiting, it gives up within its 5 s; against
// one that reads and answers our end, every frame arrives and it returns on
// the peer's end, before its flush deadline (3.5 s) would have cut it short.
TEST_F(ClientExportsTest, DisconnectKeepsItsTime) {
  const size_t frameBytes = 256 * 1024;
  for (bool peerReads : {false, true}) {
    nettest::Listener listener;
    ASSERT_TRUE(connectTo(listener));
    ASSERT_TRUE(listener.accept());
    const std::string text(frameBytes, 'w');
    int accepted = 0;
    for (int sent = 1; sent != 0 && accepted < (peerReads ? 8 : 200); accepted += sent) {
      lua_settop(L, 0);
      lua_pushnumber(L, accepted);
      lua_pushstring(L, text.c_str());
      brovane_sendData(L);
      sent = lua_toboolean(L, -1);
    }
    EXPECT_TRUE(peerReads || accepted > 60) << "16 MiB waiting before a refusal: " << accepted;
    size_t received = 0;
    std::thread peer([&] {
      if (!peerReads) return;
      received = listener.receiveToEnd().size();
      listener.closeConnection();
    });
    const auto start = std::chrono::steady_clock::now();
    lua_settop(L, 0);
    brovane_disconnect(L);
    const auto took = std::chrono::steady_clock::now() - start;
    peer.join();
    if (peerReads) {
      EXPECT_EQ(received, accepted * (frameBytes + brovane::net::frameEnvelope)) << "every frame";
      EXPECT_LT(took, std::chrono::milliseconds(3500));
    } else {
      EXPECT_LT(took, std::chrono::seconds(5));
    }
  }
}

}  // namespace
