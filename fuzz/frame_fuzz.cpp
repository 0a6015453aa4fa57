// frame_fuzz.cpp: a frame is 10 + n bytes: 00 00, the number little-endian,
// C0 42, the text's bytes before its first zero byte, ED 73.
#include <cstring>
#include <string>

#include "lua_call.h"
#include "net/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  int32_t number;
  std::memcpy(&number, data, 4);
  const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
  const size_t n = std::strlen(text.c_str());

  const std::vector<uint8_t> frame = brovane::net::buildFrame(number, text.c_str());
  if (frame.size() != 10 + n || brovane::net::frameLength(text.c_str()) != frame.size()) {
    fuzz::fail("frame length is 10 + n");
  }
  const auto u = static_cast<uint32_t>(number);
  const uint8_t head[8] = {0,
                           0,
                           static_cast<uint8_t>(u),
                           static_cast<uint8_t>(u >> 8),
                           static_cast<uint8_t>(u >> 16),
                           static_cast<uint8_t>(u >> 24),
                           0xC0,
                           0x42};
  if (std::memcmp(frame.data(), head, 8) != 0) fuzz::fail("lead, number and start mark");
  if (std::memcmp(frame.data() + 8, text.data(), n) != 0) fuzz::fail("payload");
  if (frame[8 + n] != 0xED || frame[9 + n] != 0x73) fuzz::fail("end mark");
  return 0;
}
