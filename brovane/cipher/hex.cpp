// hex.cpp: table-driven hexadecimal conversion.
#include "cipher/hex.h"

#include <array>
#include <cstring>

namespace brovane::cipher {

namespace {

constexpr char digits[] = "0123456789ABCDEF";

// The two digits of each byte value, high digit first.
constexpr std::array<char, 512> makePairs() {
  std::array<char, 512> pairs{};
  for (int v = 0; v < 256; ++v) {
    pairs[2 * v] = digits[v >> 4];
    pairs[2 * v + 1] = digits[v & 15];
  }
  return pairs;
}
constexpr std::array<char, 512> pairs = makePairs();

// The value of each digit character, or -1.
constexpr std::array<int8_t, 256> makeDigitValues() {
  std::array<int8_t, 256> values{};
  for (int c = 0; c < 256; ++c) values[c] = -1;
  for (int v = 0; v < 16; ++v)
    values[static_cast<unsigned char>(digits[v])] = static_cast<int8_t>(v);
  return values;
}
constexpr std::array<int8_t, 256> digitValues = makeDigitValues();

}  // namespace

uint8_t decodeHexPair(const char* pair) {
  const int high = digitValues[static_cast<unsigned char>(pair[0])];
  const int low = digitValues[static_cast<unsigned char>(pair[1])];
  return (high < 0 || low < 0) ? 0 : static_cast<uint8_t>(high * 16 + low);
}

zelk::Text encodeHex(const uint8_t* bytes, size_t length, const char* separator) {
  if (length == 0) return nullptr;
  const size_t separatorLength = zelk::textLength(separator);
  const size_t step = 2 + separatorLength;
  zelk::Text text(static_cast<char*>(zelk::heapAlloc(length * step + 1)));
  char* out = text.get();
  for (size_t i = 0; i < length; ++i, out += step) {
    std::memcpy(out, &pairs[2 * bytes[i]], 2);
    if (separatorLength) std::memcpy(out + 2, separator, separatorLength);
  }
  return text;
}

zelk::Bytes decodeHex(const char* text, const char* separator) {
  const size_t step = 2 + zelk::textLength(separator);
  const size_t count = zelk::textLength(text) / step;
  zelk::Bytes bytes;
  if (count == 0) return bytes;
  bytes.data.reset(static_cast<uint8_t*>(zelk::heapAlloc(count)));
  bytes.length = count;
  for (size_t j = 0; j < count; ++j) bytes.data.get()[j] = decodeHexPair(text + j * step);
  return bytes;
}

}  // namespace brovane::cipher
