// hex.cpp: table-driven hexadecimal conversion.
#include "cipher/hex.h"

#include <array>
#include <cstring>

#include "cipher/hex_paths.h"

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

// The byte of each two-character pair, indexed by the pair as a 16-bit
// little-endian value (first character low); 0 for every invalid pair.
constexpr std::array<uint8_t, 65536> makePairValues() {
  std::array<uint8_t, 65536> values{};
  for (int high = 0; high < 16; ++high)
    for (int low = 0; low < 16; ++low) {
      const auto first = static_cast<unsigned char>(digits[high]);
      const auto second = static_cast<unsigned char>(digits[low]);
      values[first | second << 8] = static_cast<uint8_t>(high * 16 + low);
    }
  return values;
}
constexpr std::array<uint8_t, 65536> pairValues = makePairValues();

uint8_t pairValue(const char* pair) {
  return pairValues[static_cast<unsigned char>(pair[0]) | static_cast<unsigned char>(pair[1]) << 8];
}

constexpr uint8_t noPad[4] = {0, 0, 0, 0};

}  // namespace

namespace hexpath {

void encodeScalar(const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out) {
  size_t i = 0;
  for (; i + 4 <= length; i += 4, out += 8)  // four bytes a round keeps the pad aligned
    for (size_t j = 0; j < 4; ++j) std::memcpy(out + 2 * j, &pairs[2 * (bytes[i + j] ^ pad[j])], 2);
  for (size_t j = 0; i < length; ++i, ++j, out += 2)
    std::memcpy(out, &pairs[2 * (bytes[i] ^ pad[j])], 2);
}

void decodeScalar(const char* text, size_t length, const uint8_t pad[4], uint8_t* out) {
  size_t i = 0;
  for (; i + 4 <= length; i += 4)
    for (size_t j = 0; j < 4; ++j) out[i + j] = pairValue(text + 2 * (i + j)) ^ pad[j];
  for (size_t j = 0; i < length; ++i, ++j) out[i] = pairValue(text + 2 * i) ^ pad[j];
}

}  // namespace hexpath

zelk::Text encodeHex(const uint8_t* bytes, size_t length, const char* separator) {
  if (length == 0) return nullptr;
  const size_t separatorLength = zelk::textLength(separator);
  const size_t step = 2 + separatorLength;
  zelk::Text text(static_cast<char*>(zelk::heapAlloc(length * step + 1)));
  if (separatorLength == 0) {
    encodeHexXor(bytes, length, noPad, text.get());
    return text;
  }
  char* out = text.get();
  for (size_t i = 0; i < length; ++i, out += step) {
    std::memcpy(out, &pairs[2 * bytes[i]], 2);
    std::memcpy(out + 2, separator, separatorLength);
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
  if (step == 2) {
    decodeHexXor(text, count, noPad, bytes.data.get());
    return bytes;
  }
  for (size_t j = 0; j < count; ++j) bytes.data.get()[j] = pairValue(text + j * step);
  return bytes;
}

}  // namespace brovane::cipher
