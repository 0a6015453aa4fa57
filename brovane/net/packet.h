// packet.h: the last received chunk (lastPacket). The outbound frame is in
// frame.h.
#pragma once

#include "sync.h"
#include "text.h"

namespace brovane::net {

// lastPacket: replaced by each chunk, taken once. One mutex covers both, so a
// chunk is never read after it was freed, nor freed twice.
class PacketStore {
 public:
  void replace(zelk::Bytes chunk);
  // True when a chunk was waiting; *text then holds its bytes before the
  // first zero byte, missing when none remain.
  bool take(zelk::Text* text);

 private:
  zelk::Mutex mutex_;
  zelk::Bytes lastPacket_;
};

}  // namespace brovane::net
