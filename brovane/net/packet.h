// packet.h: the outbound frame and the last received chunk (lastPacket).
#pragma once

#include <cstdint>
#include <vector>

#include "sync.h"
#include "text.h"

namespace brovane::net {

// The frame of one 发送数据 call: 00 00, the number little-endian, C0 42,
// the text's bytes before its first zero byte, ED 73.
inline constexpr size_t frameEnvelope = 10;  // lead, number, start and end marks
size_t frameLength(const char* text);        // the frame of this text, in bytes
// Writes the frame of a payload of payloadLength bytes: frameEnvelope more.
void writeFrame(uint8_t* out, int32_t number, const char* payload, size_t payloadLength);
std::vector<uint8_t> buildFrame(int32_t number, const char* text);
inline constexpr size_t frameHeadBytes = 8;           // lead, number, start mark
inline constexpr uint8_t frameEnd[2] = {0xED, 0x73};  // end mark
void writeFrameHead(uint8_t* out, int32_t number);    // frameHeadBytes

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
