// client_connection.h: the one client connection object and the opening of
// a slot for it.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine.h"
#include "text.h"

namespace brovane::net {

class ClientConnection {
 public:
  virtual void destroy();  // closes; called by nothing (unload ends the connection itself)
  virtual ClientConnection* copy() const;
  // 1 when a connection is open afterwards; a held one is ended first. The
  // callback's value is the slot: a callback tells a stale event by it.
  virtual int open(const char* address, int32_t port, EventCallback callback);
  virtual void close();                        // accepted sends go out, then the end
  void closeBy(Clock::time_point flushUntil);  // what is unsent by then is dropped
  virtual zelk::Bytes takeReceived(const IoRecord* record, uint32_t byteCount);
  virtual int sendData(const uint8_t* bytes, size_t length);
  int sendFrame(int32_t number, const char* text);  // built straight into the send block
  virtual ~ClientConnection() = default;

  int32_t connectionId() const { return connectionId_; }
  int32_t forget() { return connectionId_.exchange(0); }  // the slot, now no longer held

 private:
  std::atomic<int32_t> connectionId_{0};  // the held slot; read by the workers
};

// A slot with a connected socket and its first receive posted, or 0.
int32_t openSlot(uint32_t value, EventCallback callback, const char* address, int32_t port);
// The same up to the receive: *receive is the record for attachSlot.
int32_t connectSlot(uint32_t value, EventCallback callback, const char* address, int32_t port,
                    IoRecord** receive);

}  // namespace brovane::net
