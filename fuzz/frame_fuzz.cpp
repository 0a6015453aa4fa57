// frame_fuzz.cpp: the bytes 发送数据 puts on the wire. An input is a run of
// frames, each a 4-byte number (little-endian) and a text up to the next
// 0xFF byte; each is sent through the export on one connection to a
// loopback peer of our own, which must read, frame after frame: 00 00, the
// number little-endian, C0 42, the text's bytes before its first zero byte,
// ED 73.
#include <cstring>
#include <string>

#include "binding/exports.h"
#include "listener.h"
#include "lua_call.h"

namespace {

struct Frame {
  int32_t number;
  std::string text;
};

std::vector<Frame> framesOf(const uint8_t* data, size_t size) {
  std::vector<Frame> frames;
  for (size_t at = 0; at + 4 <= size && frames.size() < 64;) {
    const uint32_t n = uint32_t{data[at]} | uint32_t{data[at + 1]} << 8 |
                       uint32_t{data[at + 2]} << 16 | uint32_t{data[at + 3]} << 24;
    size_t end = at + 4;
    while (end < size && data[end] != 0xFF) ++end;
    frames.push_back({static_cast<int32_t>(n), std::string(data + at + 4, data + end)});
    at = end + 1;
  }
  return frames;
}

std::string expectedBytes(const Frame& frame) {
  const auto u = static_cast<uint32_t>(frame.number);
  const char head[8] = {0,
                        0,
                        static_cast<char>(u & 0xFF),
                        static_cast<char>(u >> 8 & 0xFF),
                        static_cast<char>(u >> 16 & 0xFF),
                        static_cast<char>(u >> 24),
                        static_cast<char>(0xC0),
                        0x42};
  const std::string payload = frame.text.substr(0, std::strlen(frame.text.c_str()));
  return std::string(head, 8) + payload + "\xED\x73";
}

// 连接 to the peer, once for the whole run.
nettest::Listener& connectedPeer() {
  static nettest::Listener* peer = [] {
    auto* listener = new nettest::Listener;
    const auto connected =
        fuzz::callExport(brovane_connect, {"127.0.0.1", std::to_string(listener->port())});
    if (connected != std::vector<std::string>{"<true>"} || !listener->accept())
      fuzz::fail("连接 to the loopback peer");
    return listener;
  }();
  return *peer;
}

bool sendData(const Frame& frame) {
  lua_State* L = fuzz::sharedState();
  lua_settop(L, 0);
  lua_pushnumber(L, frame.number);
  lua_pushlstring(L, frame.text.data(), frame.text.size());
  const bool accepted = brovane_sendData(L) == 1 && lua_toboolean(L, -1);
  lua_settop(L, 0);
  return accepted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nettest::Listener& peer = connectedPeer();
  std::string expected;
  for (const Frame& frame : framesOf(data, size)) {
    if (!sendData(frame)) fuzz::fail("发送数据 refused a frame on a live connection");
    expected += expectedBytes(frame);
  }
  if (peer.receive(expected.size()) != expected) fuzz::fail("the wire bytes of the frames");
  return 0;
}
