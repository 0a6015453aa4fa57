// packet.cpp: the last received chunk.
#include "packet.h"

namespace brovane::net {

void PacketStore::replace(zelk::Bytes chunk) {
  zelk::Bytes old;
  {
    zelk::LockGuard lock(mutex_);
    old = std::move(lastPacket_);
    lastPacket_ = std::move(chunk);
    waiting_ = lastPacket_.length != 0;
    ++stored_;
  }
}  // the old chunk is freed outside the lock

bool PacketStore::take(zelk::Bytes* chunk, uint64_t* serial) {
  if (!waiting_) return false;  // a script polling in a tight loop leaves the lock to the worker
  zelk::LockGuard lock(mutex_);
  if (lastPacket_.length == 0) return false;
  *chunk = std::move(lastPacket_);
  lastPacket_ = zelk::Bytes{};
  waiting_ = false;
  *serial = stored_;
  return true;
}

void PacketStore::giveBack(zelk::Bytes chunk, uint64_t serial) {
  zelk::LockGuard lock(mutex_);
  if (stored_ != serial || lastPacket_.length != 0) return;
  lastPacket_ = std::move(chunk);
  waiting_ = lastPacket_.length != 0;
}  // otherwise freed outside the lock, as chunk leaves

}  // namespace brovane::net
