// field_blocks_test.cpp: the block-at-a-time separator search, every mask
// path, against the character-by-character walk, on texts long enough to
// cross blocks and batches, over an alphabet rich in GBK lead bytes.
#include "split/field_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "gbk_walk.h"

namespace {

using brovane::split::MatchCursor;
using brovane::split::Span;
using brovane::split::blockpath::Level;
namespace blockpath = brovane::split::blockpath;

const struct {
  Level level;
  const char* name;
} paths[] = {{Level::scalar, "scalar"}, {Level::sse2, "sse2"}, {Level::avx2, "avx2"}};

Span spanOf(const std::string& s) { return Span{s.data(), s.size()}; }

// Random texts with long runs of high bytes, so that lead and trail bytes
// fall on both sides of block edges.
std::string randomText(std::mt19937& random, size_t maxLength) {
  static const char alphabet[] = {',', 'a', '|', '\x81', '\xA3', '\xAC', 'b', '\xFE'};
  std::uniform_int_distribution<size_t> length(0, maxLength), pick(0, sizeof alphabet - 1);
  std::uniform_int_distribution<int> highRun(0, 9);
  std::string text(length(random), ' ');
  for (size_t i = 0; i < text.size(); ++i) {
    if (highRun(random) == 0) {  // a run of high bytes of any parity
      for (size_t run = pick(random) * 3; run > 0 && i < text.size(); --run, ++i)
        text[i] = alphabet[3 + pick(random) % 3];
      if (i == text.size()) break;
    }
    text[i] = alphabet[pick(random)];
  }
  return text;
}

TEST(FieldBlocks, TrailBitsFollowTheCharacters) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 200000; ++round) {
    uint64_t high = random();
    if (round % 3 == 1) high |= random();
    if (round % 3 == 2) high &= random();
    if (round < 65536) high = static_cast<uint64_t>(round) * 0x0001000100010001ull;
    for (uint64_t carryIn = 0; carryIn < 2; ++carryIn) {
      uint64_t carry = carryIn, expected = 0;
      bool afterLead = carryIn != 0;
      for (int i = 0; i < 64; ++i) {
        if (afterLead) expected |= uint64_t{1} << i;
        afterLead = !afterLead && (high >> i & 1);
      }
      ASSERT_EQ(brovane::split::trailBits(high, &carry), expected) << std::hex << high;
      ASSERT_EQ(carry, afterLead ? 1u : 0u) << std::hex << high;
    }
  }
}

TEST(FieldBlocks, EveryPathMasksAsTheScalarOne) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<unsigned char> bytes(64 * 9 + 3);
  for (int round = 0; round < 2000; ++round) {
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(byte(random));
    const auto wanted =
        static_cast<unsigned char>(round % 2 ? bytes[byte(random) % 64] : byte(random));
    const size_t offset = static_cast<size_t>(round % 3);  // unaligned starts
    uint64_t equal[9], high[9], wantEqual[9], wantHigh[9];
    blockpath::maskFunction(Level::scalar)(bytes.data() + offset, 9, wanted, wantEqual, wantHigh);
    for (const auto& path : paths) {
      if (!blockpath::runs(path.level)) continue;
      blockpath::maskFunction(path.level)(bytes.data() + offset, 9, wanted, equal, high);
      for (int b = 0; b < 9; ++b) {
        ASSERT_EQ(equal[b], wantEqual[b]) << path.name;
        ASSERT_EQ(high[b], wantHigh[b]) << path.name;
      }
    }
  }
}

TEST(FieldBlocks, WholeCharacters) {
  const struct {
    const char* separator;
    bool whole;
  } cases[] = {{",", true},
               {"ab", true},
               {"\xA3\xAC", true},
               {"a\xA3\xAC", true},
               {"\x81|", true},
               {"\x81", false},
               {"a\x81", false},
               {"\xA3\xAC\x81", false},
               {"\x81\x81\x81", false}};
  for (const auto& c : cases)
    EXPECT_EQ(brovane::split::wholeCharacters(Span{c.separator, std::strlen(c.separator)}), c.whole)
        << c.separator;
}

TEST(FieldBlocks, EveryPathFindsWhatTheWalkFinds) {
  const std::string separators[] = {",",        "|",         "a",     "ab", ",,",
                                    "\xA3\xAC", "a\xA3\xAC", "\x81|", "aa"};
  std::mt19937 random(20261208);
  for (int round = 0; round < 6000; ++round) {
    const std::string text = randomText(random, round % 10 == 0 ? 1500 : 200);
    const std::string& separator = separators[static_cast<size_t>(round) % std::size(separators)];
    const std::vector<size_t> expected = walkPositions(text, separator);
    for (const auto& path : paths) {
      if (!blockpath::runs(path.level)) continue;
      MatchCursor all(spanOf(text), spanOf(separator), path.level);
      std::vector<size_t> got;
      for (size_t at; all.next(&at);) {
        got.push_back(at);
        ASSERT_EQ(all.end(), at + separator.size());
      }
      ASSERT_EQ(got, expected) << path.name << " round " << round;
      // Skipping some, then stepping: the same separators.
      for (uint64_t skipped : {uint64_t{0}, uint64_t{1}, uint64_t{7}, uint64_t{64},
                               static_cast<uint64_t>(expected.size()), UINT64_MAX}) {
        MatchCursor cursor(spanOf(text), spanOf(separator), path.level);
        const uint64_t passed = cursor.skip(skipped);
        ASSERT_EQ(passed, std::min<uint64_t>(skipped, expected.size())) << path.name;
        ASSERT_EQ(cursor.end(), passed ? expected[passed - 1] + separator.size() : 0)
            << path.name << " round " << round << " skip " << skipped;
        size_t at;
        const bool more = cursor.next(&at);
        ASSERT_EQ(more, passed < expected.size()) << path.name;
        if (more) {
          ASSERT_EQ(at, expected[passed]) << path.name << " round " << round;
        }
      }
    }
  }
}

}  // namespace
