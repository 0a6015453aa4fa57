// packet.cpp: the outbound frame and the last received chunk.
#include "packet.h"

#include <cstring>

namespace brovane::net {

zelk::Bytes buildFrame(int32_t number, const char* text) {
  const size_t payload = zelk::textLength(text);
  const auto value = static_cast<uint32_t>(number);
  const uint8_t head[8] = {0x00,
                           0x00,
                           static_cast<uint8_t>(value),
                           static_cast<uint8_t>(value >> 8),
                           static_cast<uint8_t>(value >> 16),
                           static_cast<uint8_t>(value >> 24),
                           0xC0,
                           0x42};
  const uint8_t tail[2] = {0xED, 0x73};
  zelk::Bytes frame;
  frame.length = sizeof head + payload + sizeof tail;
  frame.data.reset(static_cast<uint8_t*>(zelk::heapAlloc(frame.length)));
  std::memcpy(frame.data.get(), head, sizeof head);
  if (payload > 0) std::memcpy(frame.data.get() + sizeof head, text, payload);
  std::memcpy(frame.data.get() + sizeof head + payload, tail, sizeof tail);
  return frame;
}

void PacketStore::replace(zelk::Bytes chunk) {
  zelk::Bytes old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    old = std::move(lastPacket_);
    lastPacket_ = std::move(chunk);
  }
}  // the old chunk is freed outside the lock

bool PacketStore::take(zelk::Text* text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lastPacket_.length == 0) return false;
  *text = zelk::textFromBytes(lastPacket_.data.get(), lastPacket_.length);
  lastPacket_ = zelk::Bytes{};
  return true;
}

}  // namespace brovane::net
