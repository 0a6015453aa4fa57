// packet.h: the last received chunk (lastPacket). The outbound frame is in
// frame.h.
#pragma once

#include <atomic>
#include <cstdint>

#include "sync.h"
#include "text.h"

namespace brovane::net {

// lastPacket: replaced by each chunk, taken once. One mutex covers both, so a
// chunk is never read after it was freed, nor freed twice.
class PacketStore {
 public:
  void replace(zelk::Bytes chunk);
  // True when a chunk was waiting: it is moved to *chunk, and *serial names
  // it for giveBack.
  bool take(zelk::Bytes* chunk, uint64_t* serial);
  // A taken chunk that could not be handed out waits again, unless a newer
  // one came meanwhile.
  void giveBack(zelk::Bytes chunk, uint64_t serial);

 private:
  zelk::Mutex mutex_;
  std::atomic<bool> waiting_{false};  // a chunk waits: an empty take needs no lock
  zelk::Bytes lastPacket_;
  uint64_t stored_ = 0;  // chunks stored so far: the serial of the last
};

}  // namespace brovane::net
