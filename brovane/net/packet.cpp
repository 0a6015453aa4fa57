// packet.cpp: the last received chunk.
#include "packet.h"

namespace brovane::net {

void PacketStore::replace(zelk::Bytes chunk) {
  zelk::Bytes old;
  {
    zelk::LockGuard lock(mutex_);
    old = std::move(lastPacket_);
    lastPacket_ = std::move(chunk);
    ++stored_;
  }
}  // the old chunk is freed outside the lock

bool PacketStore::take(zelk::Bytes* chunk, uint64_t* serial) {
  zelk::LockGuard lock(mutex_);
  if (lastPacket_.length == 0) return false;
  *chunk = std::move(lastPacket_);
  lastPacket_ = zelk::Bytes{};
  *serial = stored_;
  return true;
}

void PacketStore::giveBack(zelk::Bytes chunk, uint64_t serial) {
  zelk::LockGuard lock(mutex_);
  if (stored_ == serial && lastPacket_.length == 0) lastPacket_ = std::move(chunk);
}  // otherwise freed outside the lock, as chunk leaves

}  // namespace brovane::net
