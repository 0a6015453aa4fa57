// client_exports.cpp: the client exports and their globals: the connection
// object, lastPacket and the disconnected flag.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "binding/exports.h"
#include "binding/number.h"
#include "binding/script_bridge.h"
#include "client_connection.h"
#include "client_globals.h"
#include "packet.h"
#include "sync.h"

namespace brovane::net {
namespace {

struct ClientGlobals {
  ClientConnection clientConnection;
  PacketStore lastPacket;
  std::atomic<int32_t> disconnectedFlag{0};
  // Held by a callback from its staleness check to its last effect, and by
  // 连接 while it sets the flag: an old slot's event that passed the check
  // just before a reconnect cannot land after the reconnect's own result.
  zelk::Mutex eventMutex;
  // Held by 连接 and 断开连接 from their first step to their last (never
  // across a call into Lua): the engine's start and stop and the connection
  // object's change of slot happen one at a time, whichever threads call.
  zelk::Mutex lifeMutex;
};

ClientGlobals* client = nullptr;

}  // namespace

void createClientGlobals() {
  createEngineTables();
  if (client == nullptr) client = new ClientGlobals;
}

// Unloading. A host may unload without 断开连接, and the engine keeps this
// module loaded while it runs, so that happens only as the process ends.
// The decision: the frames accepted still go out, within 断开连接's time, the
// connection ends in order, then all is freed. The workers are not relied on
// for it: on Windows the process's end has already ended them, and the
// loader lock forbids waiting for a running thread; this thread takes the
// completions itself. When the engine cannot be finished (a thread ended
// inside it, or the time ran out), its memory is left to the process's end.
bool finishClient() {
  if (client == nullptr) return true;
  return finishEngineAlone(client->clientConnection.forget(), endDeadlinesFrom(Clock::now()).stop);
}

void releaseClientGlobals() {
  if (client == nullptr || !finishClient()) return;
  delete client;
  client = nullptr;
  releaseEngineTables();
  releaseSocketBookkeeping();
}

}  // namespace brovane::net

using brovane::ScriptBridge;
using brovane::net::client;

namespace {

int connectTo(const char* address, int32_t port) {
  using namespace brovane::net;
  zelk::LockGuard life(client->lifeMutex);
  startEngine();  // a failed start makes the open fail
  const int ok = client->clientConnection.open(address, port, brovane_eventCallback);
  zelk::LockGuard lock(client->eventMutex);
  // A peer that closes at once may have ended the connection already, its
  // event raised before this result: the end stands.
  const bool endedAlready = ok && slotEnded(client->clientConnection.connectionId());
  client->disconnectedFlag = ok && !endedAlready ? 0 : 1;
  return ok;
}

void disconnect() {
  using namespace brovane::net;
  zelk::LockGuard life(client->lifeMutex);
  const EndDeadlines until = endDeadlinesFrom(Clock::now());
  client->clientConnection.closeBy(until.flush);
  stopEngine(until.stop);
}

// The chunk that has come, if any. Found nothing: a script that polls in a
// loop gives its core to whoever delivers its answer (the peer, a worker),
// then receives on this thread what has come meanwhile, since a worker may
// not get a core soon.
bool takeChunk(zelk::Bytes* chunk, uint64_t* serial) {
  if (client->lastPacket.take(chunk, serial)) return true;
  zelk::yieldThread();
  zelk::UniqueLock life(client->lifeMutex, std::try_to_lock);  // no stop meanwhile
  return life.owns_lock() && brovane::net::handleReadyCompletion() &&
         client->lastPacket.take(chunk, serial);
}

// A chunk that Lua has no room for waits for the next call; Lua's error is
// raised after.
int getPacket(lua_State* L) {
  ScriptBridge bridge(L);
  zelk::Bytes chunk;
  uint64_t serial = 0;
  if (!takeChunk(&chunk, &serial)) return 0;
  const auto* bytes = reinterpret_cast<const char*>(chunk.data.get());
  const void* zero = std::memchr(bytes, 0, chunk.length);  // the text ends there
  const size_t length = zero != nullptr ? static_cast<const char*>(zero) - bytes : chunk.length;
  if (length == 0) {
    bridge.pushText(nullptr);  // a leading zero byte gives nil
    return 1;
  }
  const int results = bridge.pushTextKeepingErrors(bytes, length);
  if (results == brovane::luaErrorOnTop) client->lastPacket.giveBack(std::move(chunk), serial);
  return results;
}

}  // namespace

extern "C" int ZELK_LUA_CC brovane_connect(lua_State* L) {
  ScriptBridge bridge(L);
  const int32_t port = brovane::truncateToInt32(bridge.toNumber(1));
  const zelk::Text address = bridge.toText(2);
  bridge.pushBoolean(connectTo(address.get(), port));
  return 1;
}

extern "C" int ZELK_LUA_CC brovane_sendData(lua_State* L) {
  ScriptBridge bridge(L);
  const char* data = bridge.textAt(1);  // read in place: it stays on the stack
  const int32_t number = brovane::truncateToInt32(bridge.toNumber(2));
  bridge.pushBoolean(client->clientConnection.sendFrame(number, data));
  return 1;
}

extern "C" int ZELK_LUA_CC brovane_getPacket(lua_State* L) {
  return brovane::raiseOr(L, getPacket(L));
}

extern "C" int ZELK_LUA_CC brovane_disconnect(lua_State* L) {
  ScriptBridge bridge(L);  // reads nothing, pushes nothing
  disconnect();
  return 0;
}

extern "C" int ZELK_LUA_CC brovane_isDisconnected(lua_State* L) {
  ScriptBridge bridge(L);
  bridge.pushBoolean(client->disconnectedFlag != 0);
  return 1;
}

// Runs on the workers. While a slot is held, another slot's late events (an
// old connection ending after a reconnect) are not this connection's news;
// the value names the slot (连接 stores it), so a record the library did not
// make is read no further than its buffer. A host's own call passes 0: its
// event is the held connection's.
extern "C" void ZELK_STDCALL brovane_eventCallback(uint32_t value, uint32_t event, uintptr_t record,
                                                   uint32_t byteCount) {
  using namespace brovane::net;
  const auto* io = reinterpret_cast<const IoRecord*>(record);
  zelk::LockGuard lock(client->eventMutex);
  const int32_t held = client->clientConnection.connectionId();
  if (held != 0 && value != 0 && value != static_cast<uint32_t>(held)) return;
  if (event == dataEvent)
    client->lastPacket.replace(
        client->clientConnection.takeReceived(io, std::min(byteCount, receiveBlockSize)));
  if (event == closedEvent) client->disconnectedFlag = 1;
}
