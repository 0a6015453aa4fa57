// byte_scan_test.cpp: every path of the byte search against a plain loop,
// across lengths around each vector and unroll size, every start alignment
// and every position of the byte sought (alone, first of several, absent).
#include "text/byte_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using brovane::text::scanpath::Level;
namespace scanpath = brovane::text::scanpath;

const struct {
  Level level;
  const char* name;
} paths[] = {{Level::scalar, "scalar"}, {Level::sse2, "sse2"}, {Level::avx2, "avx2"}};

size_t oracle(const std::string& text, size_t start, size_t length, char byte) {
  for (size_t i = 0; i < length; ++i)
    if (text[start + i] == byte) return i;
  return length;
}

std::vector<size_t> testLengths() {
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (size_t n : {511u, 512u, 513u, 4095u, 4096u, 4097u, 65536u + 13u}) lengths.push_back(n);
  return lengths;
}

// The text sits between guard bytes equal to the byte sought: a read past
// either end would find one of them.
void expectAllPositions(Level level, const char* name, char byte, char filler) {
  for (size_t length : testLengths())
    for (size_t start = 1; start <= 32; ++start) {
      std::string buffer(start + length + 64, byte);
      std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(start),
                buffer.begin() + static_cast<std::ptrdiff_t>(start + length), filler);
      const char* bytes = buffer.data() + start;
      ASSERT_EQ(scanpath::find(level, bytes, length, static_cast<unsigned char>(byte)), length)
          << name << " absent, length " << length << " start " << start;
      const size_t step = length > 300 ? 1 + length / 97 : length > 64 ? 7 : 1;
      for (size_t at = 0; at < length; at += step) {
        const size_t later = at + 5 < length ? start + at + 5 : start + at;
        buffer[start + at] = byte;
        buffer[later] = byte;  // a later one must not win
        ASSERT_EQ(scanpath::find(level, bytes, length, static_cast<unsigned char>(byte)),
                  oracle(buffer, start, length, byte))
            << name << " length " << length << " start " << start << " at " << at;
        buffer[start + at] = filler;
        buffer[later] = filler;
      }
    }
}

TEST(ByteScan, EveryPathFindsTheFirstZeroByte) {
  for (const auto& path : paths) {
    if (!scanpath::runs(path.level)) continue;
    expectAllPositions(path.level, path.name, '\0', 'a');
  }
}

// High bytes and other values around the one sought must never match.
TEST(ByteScan, EveryPathFindsOtherBytesAmongHighBytes) {
  for (const auto& path : paths) {
    if (!scanpath::runs(path.level)) continue;
    expectAllPositions(path.level, path.name, ';', '\xBB');
    expectAllPositions(path.level, path.name, '\xA3', '\xA2');
    expectAllPositions(path.level, path.name, '\x01', '\x00');
  }
}

TEST(ByteScan, BestLevelRunsHere) {
  EXPECT_TRUE(scanpath::runs(Level::scalar));
  EXPECT_TRUE(scanpath::runs(scanpath::bestLevel()));
  for (const auto& path : paths) {
    if (!scanpath::runs(path.level)) continue;
    EXPECT_GE(scanpath::bestLevel(), path.level) << path.name;
  }
  const std::string text = std::string(1000, 'x') + '\0' + "tail";
  EXPECT_EQ(brovane::text::lengthBeforeZero(text.data(), text.size()), 1000u);
  EXPECT_EQ(brovane::text::lengthBeforeZero(text.data(), 999), 999u);
}

}  // namespace
