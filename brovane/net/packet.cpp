// packet.cpp: the last received chunk.
#include "packet.h"

namespace brovane::net {

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
