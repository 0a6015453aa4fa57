// frame.h: a frame on the wire, as 发送数据(number, text) sends it: one
// frame per call, no length field, nothing escaped.
//
//   bytes  content
//   2      00 00
//   4      the number, signed 32-bit little-endian
//   2      C0 42
//   n      the text's bytes before its first zero byte
//   2      ED 73
#pragma once

#include <cstddef>
#include <cstdint>

namespace brovane::net {

inline constexpr size_t frameHeadBytes = 8;           // 00 00, the number, C0 42
inline constexpr uint8_t frameEnd[2] = {0xED, 0x73};  // after the text
// A frame is its text's bytes and these: what it adds to the unsent bytes.
inline constexpr size_t frameEnvelope = frameHeadBytes + sizeof frameEnd;

void writeFrameHead(uint8_t* out, int32_t number);  // frameHeadBytes bytes

// Queues the frame on the slot's connection, written straight into the send
// block behind what was accepted before: 1 when accepted, 0 when refused
// (as sendPieces refuses).
int sendFrameOnSlot(int32_t slot, int32_t number, const char* text);

}  // namespace brovane::net
