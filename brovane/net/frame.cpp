// frame.cpp: the frame's head and its pieces, in wire order.
#include "frame.h"

#include <cstring>

#include "engine.h"
#include "text.h"

namespace brovane::net {

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

int sendFrameOnSlot(int32_t slot, int32_t number, const char* text) {
  uint8_t head[frameHeadBytes];
  writeFrameHead(head, number);
  return sendPieces(
      slot, {{head, sizeof head}, {text, zelk::textLength(text)}, {frameEnd, sizeof frameEnd}});
}

}  // namespace brovane::net
