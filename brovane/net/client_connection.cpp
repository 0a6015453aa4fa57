// client_connection.cpp: ClientConnection and openSlot.
#include "client_connection.h"

#include "frame.h"

namespace brovane::net {

int32_t openSlot(uint32_t value, EventCallback callback, const char* address, int32_t port) {
  IoRecord* receive = nullptr;
  const int32_t slot = connectSlot(value, callback, address, port, &receive);
  return slot != 0 && attachSlot(slot, receive) ? slot : 0;
}

int32_t connectSlot(uint32_t value, EventCallback callback, const char* address, int32_t port,
                    IoRecord** receive) {
  if (!engineRunning()) return 0;
  SocketHandle socket = 0;
  if (!openStreamSocket(&socket)) return 0;
  const int32_t slot = claimSlot(value, callback, socket);
  if (slot == 0) {
    closeSocket(socket);
    return 0;
  }
  const uint32_t peer = parseIPv4(zelk::orEmpty(address));  // no name look-up
  const auto peerPort = static_cast<uint16_t>(static_cast<uint32_t>(port) & 0xFFFF);
  *receive = connectIPv4(socket, peer, peerPort) ? newReceiveRecord() : nullptr;
  if (*receive == nullptr) {
    abandonSlot(slot);
    return 0;
  }
  return slot;
}

void ClientConnection::destroy() { close(); }

ClientConnection* ClientConnection::copy() const {
  auto* twin = new ClientConnection;
  twin->connectionId_ = connectionId_.load();
  return twin;
}

int ClientConnection::open(const char* address, int32_t port, EventCallback callback) {
  if (connectionId_ != 0) closeSlotSocket(connectionId_);
  IoRecord* receive = nullptr;
  connectionId_ = connectSlot(slotAsValue, callback, address, port, &receive);
  if (connectionId_ == 0) return 0;
  // Held before the first receive: data or an end that comes at once is
  // this connection's news, not a stale slot's.
  if (attachSlot(connectionId_, receive)) return 1;
  connectionId_ = 0;
  return 0;
}

void ClientConnection::close() { closeBy(endDeadlinesFrom(Clock::now()).flush); }

// Held until it has ended: what the peer sends while the end lingers is
// still this connection's news.
void ClientConnection::closeBy(Clock::time_point flushUntil) {
  int32_t slot = connectionId_;
  if (slot == 0) return;
  endSlot(slot, flushUntil);
  connectionId_.compare_exchange_strong(slot, 0);
}

zelk::Bytes ClientConnection::takeReceived(const IoRecord* record, uint32_t byteCount) {
  if (connectionId_ == 0 || record == nullptr) return zelk::Bytes{};
  return zelk::copyBytes(record->bufferData, byteCount);
}

int ClientConnection::sendData(const uint8_t* bytes, size_t length) {
  const int32_t slot = connectionId_;
  if (slot == 0) return 0;
  return sendOnSlot(slot, bytes, length);
}

int ClientConnection::sendFrame(int32_t number, const char* text) {
  const int32_t slot = connectionId_;
  if (slot == 0) return 0;
  return sendFrameOnSlot(slot, number, text);
}

}  // namespace brovane::net
