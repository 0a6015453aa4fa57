// hex_paths_test.cpp: every vector path of the fused hex passes against the
// table-driven one, on random inputs of many lengths and unaligned starts.
#include "cipher/hex_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using brovane::cipher::hexpath::Level;
namespace hexpath = brovane::cipher::hexpath;

const struct {
  Level level;
  const char* name;
} vectorPaths[] = {{Level::sse2, "sse2"},
                   {Level::ssse3, "ssse3"},
                   {Level::avx2, "avx2"},
                   {Level::avx512, "avx512"}};

// Lengths around every block size of the paths, and some large ones.
std::vector<size_t> testLengths() {
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 100; ++n) lengths.push_back(n);
  for (size_t n : {127u, 128u, 129u, 1000u, 4099u, 65536u + 7u}) lengths.push_back(n);
  return lengths;
}

// Characters around the edges of "0"-"9" and "A"-"F", lowercase, high bytes.
const char invalidCharacters[] = {'/',  ':',    '@',    'G',    'a',    'f',    'g',   ' ',
                                  '\0', '\x80', '\xB0', '\xB9', '\xC1', '\xC6', '\xFF'};

struct Pad {
  uint8_t bytes[4];
};

Pad randomPad(std::mt19937& random, bool zero) {
  std::uniform_int_distribution<int> byte(0, 255);
  Pad pad{};
  if (!zero)
    for (uint8_t& b : pad.bytes) b = static_cast<uint8_t>(byte(random));
  return pad;
}

std::string randomHex(std::mt19937& random, size_t characters) {
  static const char digits[] = "0123456789ABCDEF";
  std::uniform_int_distribution<int> digit(0, 15);
  std::string text(characters, '0');
  for (char& c : text) c = digits[digit(random)];
  return text;
}

// The scalar decode and where its first zero byte is, the answer every path owes.
std::vector<uint8_t> scalarDecode(const char* text, size_t length, const Pad& pad,
                                  size_t* firstZero) {
  std::vector<uint8_t> out(length);
  hexpath::decodeScalar(text, length, pad.bytes, out.data());
  *firstZero = static_cast<size_t>(std::find(out.begin(), out.end(), 0) - out.begin());
  return out;
}

// Decodes text (pairs from offset `start` of its buffer) on path and on the
// tables; the bytes, the first zero and the guard past the end must agree.
void expectSameDecode(Level level, const std::string& buffer, size_t start, const Pad& pad) {
  const size_t length = (buffer.size() - start) / 2;
  size_t expectedZero = 0;
  const std::vector<uint8_t> expected =
      scalarDecode(buffer.data() + start, length, pad, &expectedZero);
  std::vector<uint8_t> out(length + 3 + 8, 0xEE);  // unaligned start, guard after
  bool allDigits = true;
  const size_t firstZero =
      hexpath::decode(level, buffer.data() + start, length, pad.bytes, out.data() + 3, &allDigits);
  const std::string pairs = buffer.substr(start, 2 * length);
  const bool digitsOnly = pairs.find_first_not_of("0123456789ABCDEF") == std::string::npos;
  if (level == Level::sse2) {  // does not track it: may only say false
    ASSERT_FALSE(allDigits && !digitsOnly) << "length " << length;
  } else {
    ASSERT_EQ(allDigits, digitsOnly) << "length " << length << " start " << start;
  }
  ASSERT_EQ(std::vector<uint8_t>(out.begin() + 3, out.begin() + 3 + length), expected)
      << "length " << length << " start " << start;
  ASSERT_EQ(firstZero, expectedZero) << "length " << length << " start " << start;
  for (size_t i = 0; i < 8; ++i) ASSERT_EQ(out[3 + length + i], 0xEE) << "overrun";
}

TEST(HexPaths, EncodeMatchesTheTables) {
  std::mt19937 random(5101);
  std::uniform_int_distribution<int> byte(0, 255);
  for (const auto& path : vectorPaths) {
    if (!hexpath::runs(path.level)) continue;
    for (size_t length : testLengths())
      for (size_t start = 0; start < 4; ++start) {
        std::vector<uint8_t> bytes(start + length);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(random));
        const Pad pad = randomPad(random, length % 3 == 0);
        std::string expected(2 * length, '?');
        hexpath::encodeScalar(bytes.data() + start, length, pad.bytes, expected.data());
        std::string out(1 + 2 * length + 8, '#');  // odd start, guard after
        const bool sawZero =
            hexpath::encode(path.level, bytes.data() + start, length, pad.bytes, out.data() + 1);
        ASSERT_EQ(sawZero, std::find(bytes.begin() + start, bytes.end(), 0) != bytes.end())
            << path.name << " length " << length;
        ASSERT_EQ(out.substr(1, 2 * length), expected)
            << path.name << " length " << length << " start " << start;
        ASSERT_EQ(out.substr(1 + 2 * length), std::string(8, '#')) << path.name << " overrun";
      }
  }
}

TEST(HexPaths, DecodeMatchesTheTablesWithAnInvalidCharacterAnywhere) {
  std::mt19937 random(5102);
  std::uniform_int_distribution<size_t> pick(0, sizeof invalidCharacters - 1);
  for (const auto& path : vectorPaths) {
    if (!hexpath::runs(path.level)) continue;
    for (size_t length : testLengths()) {
      const size_t start = length % 4;
      const std::string text = std::string(start, 'x') + randomHex(random, 2 * length);
      expectSameDecode(path.level, text, start, randomPad(random, length % 2 == 0));
      expectSameDecode(path.level, text + "7", start, randomPad(random, false));  // odd end
      if (length > 100) {  // long: a few places, one of them past every block
        for (size_t position : {start, text.size() / 2, text.size() - 1, text.size() - 9}) {
          std::string spoiled = text;
          spoiled[position] = invalidCharacters[pick(random)];
          expectSameDecode(path.level, spoiled, start, randomPad(random, false));
        }
        continue;
      }
      for (size_t position = start; position < text.size(); ++position) {
        std::string spoiled = text;
        spoiled[position] = invalidCharacters[pick(random)];
        expectSameDecode(path.level, spoiled, start, randomPad(random, position % 2 == 0));
      }
    }
  }
}

// Every ordered pair of byte values, at every phase of the pad.
TEST(HexPaths, DecodeMatchesTheTablesOnEveryPair) {
  std::string text;
  for (int first = 0; first < 256; ++first)
    for (int second = 0; second < 256; ++second)
      text += static_cast<char>(first), text += static_cast<char>(second);
  std::mt19937 random(5103);
  for (const auto& path : vectorPaths) {
    if (!hexpath::runs(path.level)) continue;
    for (size_t start : {0u, 2u, 4u, 6u, 1u}) {
      expectSameDecode(path.level, text, start, randomPad(random, false));
      expectSameDecode(path.level, text, start, randomPad(random, true));
    }
  }
}

// Zero bytes land where the pad cancels the data: the first must be found in
// whichever block, lane or tail it falls.
TEST(HexPaths, DecodeFindsTheFirstZeroByte) {
  std::mt19937 random(5104);
  const Pad pad = randomPad(random, false);
  for (const auto& path : vectorPaths) {
    if (!hexpath::runs(path.level)) continue;
    for (size_t length : {1u, 15u, 16u, 17u, 33u, 64u, 100u, 1000u, 1100u, 4099u})
      for (size_t zeroAt = 0; zeroAt < length; zeroAt += 1 + zeroAt / 8) {
        std::string text = randomHex(random, 2 * length);
        for (size_t i = 0; i < length; ++i) {
          const uint8_t avoid = pad.bytes[i % 4];  // decodes to a nonzero byte unless at zeroAt
          const uint8_t value = i == zeroAt ? avoid : static_cast<uint8_t>(avoid ^ (1 + i % 255));
          static const char digits[] = "0123456789ABCDEF";
          text[2 * i] = digits[value >> 4], text[2 * i + 1] = digits[value & 15];
        }
        std::vector<uint8_t> out(length);
        EXPECT_EQ(hexpath::decode(path.level, text.data(), length, pad.bytes, out.data()), zeroAt)
            << path.name << " length " << length;
      }
  }
}

TEST(HexPaths, BestLevelRunsHere) {
  EXPECT_TRUE(hexpath::runs(Level::scalar));
  EXPECT_TRUE(hexpath::runs(hexpath::bestLevel()));
  for (const auto& path : vectorPaths) {
    if (!hexpath::runs(path.level)) continue;
    EXPECT_GE(hexpath::bestLevel(), path.level) << path.name;
  }
}

}  // namespace
