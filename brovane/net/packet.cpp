// packet.cpp: the outbound frame and the last received chunk.
#include "packet.h"

#include <cstring>

namespace brovane::net {

size_t frameLength(const char* text) { return frameEnvelope + zelk::textLength(text); }

void writeFrameHead(uint8_t* out, int32_t number) {
  const auto value = static_cast<uint32_t>(number);
  const uint8_t head[frameHeadBytes] = {0x00,
                                        0x00,
                                        static_cast<uint8_t>(value),
                                        static_cast<uint8_t>(value >> 8),
                                        static_cast<uint8_t>(value >> 16),
                                        static_cast<uint8_t>(value >> 24),
                                        0xC0,
                                        0x42};
  std::memcpy(out, head, sizeof head);
}

void writeFrame(uint8_t* out, int32_t number, const char* text, size_t payload) {
  writeFrameHead(out, number);
  if (payload > 0) std::memcpy(out + frameHeadBytes, text, payload);
  std::memcpy(out + frameHeadBytes + payload, frameEnd, sizeof frameEnd);
}

std::vector<uint8_t> buildFrame(int32_t number, const char* text) {
  const size_t payload = zelk::textLength(text);
  std::vector<uint8_t> frame(frameEnvelope + payload);
  writeFrame(frame.data(), number, text, payload);
  return frame;
}

void PacketStore::replace(zelk::Bytes chunk) {
  zelk::Bytes old;
  {
    zelk::LockGuard lock(mutex_);
    old = std::move(lastPacket_);
    lastPacket_ = std::move(chunk);
  }
}  // the old chunk is freed outside the lock

bool PacketStore::take(zelk::Text* text) {
  zelk::LockGuard lock(mutex_);
  if (lastPacket_.length == 0) return false;
  *text = zelk::textFromBytes(lastPacket_.data.get(), lastPacket_.length);
  lastPacket_ = zelk::Bytes{};
  return true;
}

}  // namespace brovane::net
