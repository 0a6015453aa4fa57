// text_cipher_test.cpp: the folded-key cipher against the cipher as its
// steps read (every masked key byte on every data byte), and the hex rules.
#include "cipher/text_cipher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cipher/hex.h"

namespace {

const std::string defaultKey = "pk4vzd9qewn2sb7fjr0mtyc5hl8xgi3oua61!?#$%^&()+-=:;.";

std::string upperHex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (uint8_t b : bytes) std::snprintf(pair, sizeof pair, "%02X", b), text += pair;
  return text;
}

// The encryption step by step: a step counter 1..4, the key masked byte by
// byte, each data byte XORed with every masked key byte and a salt byte.
std::string referenceEncrypt(const std::string& data, std::string key, uint32_t tick, uint8_t r) {
  if (key.empty()) key = defaultKey;
  uint8_t t[4], m[4];
  for (int i = 0; i < 4; ++i) t[i] = static_cast<uint8_t>(tick >> (8 * i)), m[i] = t[i] ^ r;
  int c = 0;
  auto advance = [&c] { c = c == 4 ? 1 : c + 1; };
  for (char& k : key) advance(), k = static_cast<char>(k ^ m[c - 1]);
  const uint32_t word = m[0] | m[1] << 8 | m[2] << 16 | static_cast<uint32_t>(m[3]) << 24;
  const uint32_t h = ~static_cast<uint32_t>(r) ^ word;
  std::vector<uint8_t> block;
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<uint8_t>(h >> (8 * i)));
  for (int i = 0; i < 4; ++i) block.push_back(m[i]);
  for (char d : data) {
    advance();
    uint8_t byte = static_cast<uint8_t>(d);
    for (char k : key) byte ^= static_cast<uint8_t>(k);
    block.push_back(byte ^ t[c - 1]);
  }
  return upperHex(block);
}

std::string randomBytes(std::mt19937& random, size_t length, bool zeroAllowed) {
  std::uniform_int_distribution<int> byte(zeroAllowed ? 0 : 1, 255);
  std::string bytes(length, ' ');
  for (char& b : bytes) b = static_cast<char>(byte(random));
  return bytes;
}

std::string textOrNone(const zelk::Text& text) { return text ? text.get() : "<none>"; }

TEST(TextCipher, FoldedKeyGivesTheSameCipherText) {
  std::mt19937 random(4101);
  std::uniform_int_distribution<size_t> length(1, 40),
      keyLength(0, 40);  // keys of several words and tails
  std::uniform_int_distribution<uint32_t> tick;
  std::uniform_int_distribution<int> mask(2, 255);
  for (int round = 0; round < 5000; ++round) {
    const std::string text = randomBytes(random, length(random), false);
    const std::string key = randomBytes(random, keyLength(random), false);
    const uint32_t t = tick(random);
    const auto r = static_cast<uint8_t>(mask(random));
    const zelk::Text ours =
        brovane::cipher::encryptText(text.c_str(), text.size(), key.c_str(), t, r);
    ASSERT_EQ(textOrNone(ours), referenceEncrypt(text, key, t, r)) << round;
    const zelk::Text back =
        brovane::cipher::decryptText(ours.get(), 2 * (8 + text.size()), key.c_str());
    ASSERT_EQ(textOrNone(back), text) << round;
  }
}

TEST(TextCipher, DecryptionCutsAtTheFirstZeroByte) {
  std::mt19937 random(4102);
  for (int round = 0; round < 2000; ++round) {
    const std::string data = randomBytes(random, 1 + round % 12, true);
    const std::string cipherText = referenceEncrypt(data, "k", 0xA1B2C3D4u + round, 200);
    const zelk::Text plain =
        brovane::cipher::decryptText(cipherText.c_str(), cipherText.size(), "k");
    const std::string expected = data.substr(0, data.find('\0'));
    ASSERT_EQ(textOrNone(plain), expected.empty() ? "<none>" : expected) << round;
  }
}

// Texts come with Lua's length, which counts past a zero byte: the text and
// the cipher text end at their first zero, wherever in a block or tail it is.
TEST(TextCipher, ZeroByteWithinTheLengthEndsTheText) {
  std::mt19937 random(4103);
  for (size_t length : {1u, 5u, 31u, 32u, 33u, 100u, 300u}) {
    const std::string text = randomBytes(random, length, false);
    for (size_t cut = 0; cut < length; cut += 1 + cut / 3) {
      std::string withZero = text;
      withZero[cut] = '\0';
      size_t gotLength = 99;
      const zelk::Text ours =
          brovane::cipher::encryptText(withZero.data(), length, "k", 42, 7, &gotLength);
      const std::string expected =
          cut == 0 ? "<none>" : referenceEncrypt(text.substr(0, cut), "k", 42, 7);
      ASSERT_EQ(textOrNone(ours), expected) << length << " " << cut;
      ASSERT_EQ(gotLength, cut == 0 ? 0 : expected.size());
      if (ours) {
        ASSERT_EQ(ours.get()[gotLength], '\0');
      }
    }
    const std::string cipherText = referenceEncrypt(text, "k", 43, 9);
    for (size_t cut = 0; cut < cipherText.size(); cut += 1 + cut / 5) {
      std::string withZero = cipherText + "00";
      withZero[cut] = '\0';
      size_t gotLength = 99;
      const zelk::Text plain =
          brovane::cipher::decryptText(withZero.data(), withZero.size(), "k", &gotLength);
      const std::string expected = cut < 18 ? "<none>" : text.substr(0, (cut - 16) / 2);
      ASSERT_EQ(textOrNone(plain), expected) << length << " " << cut;
      ASSERT_EQ(gotLength, plain ? expected.size() : 0u);
    }
  }
}

TEST(TextCipher, EmptyKeysShortAndEmptyTexts) {
  const zelk::Text withDefault = brovane::cipher::encryptText("abc", 3, "", 77, 9);
  EXPECT_EQ(textOrNone(withDefault), referenceEncrypt("abc", defaultKey, 77, 9));
  EXPECT_EQ(textOrNone(brovane::cipher::encryptText("abc", 3, nullptr, 77, 9)), withDefault.get());
  EXPECT_EQ(brovane::cipher::encryptText("", 0, "k", 1, 2), nullptr);
  const std::string one = referenceEncrypt("Q", "k", 5, 100);
  ASSERT_EQ(one.size(), 18u);
  EXPECT_EQ(textOrNone(brovane::cipher::decryptText(one.c_str(), 18, "k")), "Q");
  EXPECT_EQ(textOrNone(brovane::cipher::decryptText((one + "F").c_str(), 19, "k")), "Q");
  EXPECT_EQ(brovane::cipher::decryptText(one.c_str(), 17, "k"), nullptr);
  EXPECT_EQ(brovane::cipher::decryptText(one.c_str(), 16, "k"), nullptr);
  EXPECT_EQ(brovane::cipher::decryptText(nullptr, 0, "k"), nullptr);
}

TEST(TextCipher, MaskByteFromDraw) {
  const struct {
    int draw;
    int mask;
  } cases[] = {{0, 2}, {129, 2}, {130, 3}, {16383, 128}, {32766, 254}, {32767, 255}};
  for (const auto& c : cases)
    EXPECT_EQ(brovane::cipher::maskByteFromDraw(c.draw), c.mask) << c.draw;
  for (int draw = 0; draw <= 32767; ++draw) {
    const int mask = brovane::cipher::maskByteFromDraw(draw);
    ASSERT_TRUE(mask >= 2 && mask <= 255) << draw;
    ASSERT_EQ(mask == 255, draw == 32767) << draw;
  }
}

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

TEST(Hex, EveryPairDecodesByTheDigitRule) {
  for (int first = 1; first < 256; ++first)
    for (int second = 1; second < 256; ++second) {
      const char pair[3] = {static_cast<char>(first), static_cast<char>(second), 0};
      const zelk::Bytes bytes = brovane::cipher::decodeHex(pair, "");
      ASSERT_EQ(bytes.length, 1u);
      const int high = digitValue(pair[0]), low = digitValue(pair[1]);
      const int expected = high < 0 || low < 0 ? 0 : high * 16 + low;
      ASSERT_EQ(bytes.data.get()[0], expected) << first << " " << second;
    }
}

TEST(Hex, EncodeAndDecodeWithSeparators) {
  const uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF, 0x10};
  EXPECT_STREQ(brovane::cipher::encodeHex(bytes, 5, "").get(), "000FA5FF10");
  EXPECT_STREQ(brovane::cipher::encodeHex(bytes, 5, ", ").get(), "00, 0F, A5, FF, 10, ");
  EXPECT_STREQ(brovane::cipher::encodeHex(bytes, 1, nullptr).get(), "00");
  EXPECT_EQ(brovane::cipher::encodeHex(bytes, 0, "").get(), nullptr);
  const struct {
    const char* text;
    const char* separator;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"000FA5FF10", "", {0x00, 0x0F, 0xA5, 0xFF, 0x10}},
      {"000FA5FF1", "", {0x00, 0x0F, 0xA5, 0xFF}},  // odd last character ignored
      {"0fA5", "", {0x00, 0xA5}},                   // lowercase is no digit
      {"G1 A", "", {0x00, 0x00}},
      {"0F-A5-", "-", {0x0F, 0xA5}},
      {"0FxyA5zw1", "??", {0x0F, 0xA5}},  // separator characters never looked at
      {"0", "", {}},
      {"", "", {}},
  };
  for (const auto& c : cases) {
    const zelk::Bytes got = brovane::cipher::decodeHex(c.text, c.separator);
    const std::vector<uint8_t> bytesGot(got.data.get(), got.data.get() + got.length);
    EXPECT_EQ(bytesGot, c.bytes) << c.text;
  }
}

}  // namespace
