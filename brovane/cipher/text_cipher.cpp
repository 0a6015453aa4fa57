// text_cipher.cpp: encryption and decryption, fused with the hex passes.
#include "cipher/text_cipher.h"

#include "cipher/hex.h"
#include "text/byte_scan.h"

namespace brovane::cipher {

namespace {

constexpr char defaultKey[] = "pk4vzd9qewn2sb7fjr0mtyc5hl8xgi3oua61!?#$%^&()+-=:;.";

constexpr size_t headerLength = 8;

uint32_t readLittleEndian(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

void writeLittleEndian(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A key as the pad needs it: the XOR of its bytes and its length.
struct KeyFold {
  uint8_t bytes;
  size_t length;
};

// Eight key bytes at a time; the order of XORs does not matter.
constexpr KeyFold foldOf(const char* key, size_t length) {
  uint64_t folded8 = 0;
  size_t j = 0;
  for (; j + 8 <= length; j += 8) {
    uint64_t word = 0;
    for (size_t i = 0; i < 8; ++i) word |= uint64_t{static_cast<uint8_t>(key[j + i])} << 8 * i;
    folded8 ^= word;
  }
  folded8 ^= folded8 >> 32;
  folded8 ^= folded8 >> 16;
  folded8 ^= folded8 >> 8;
  auto folded = static_cast<uint8_t>(folded8);
  for (; j < length; ++j) folded ^= static_cast<uint8_t>(key[j]);
  return KeyFold{folded, length};
}

constexpr KeyFold defaultKeyFold = foldOf(defaultKey, sizeof defaultKey - 1);

KeyFold keyFold(Key key) { return key.length ? foldOf(key.bytes, key.length) : defaultKeyFold; }

// The pad of the body: byte i is XORed with every masked key byte (key byte
// j XOR the masked salt byte j % 4, folded into one byte, as XOR allows) and
// with salt byte (keyLength + i) % 4, the step counter running on from the
// key's steps. Masked salt byte r meets the key (length - r + 3) / 4 times.
void bodyPad(Key key, const uint8_t maskedSalt[4], const uint8_t salt[4], uint8_t pad[4]) {
  const KeyFold fold = keyFold(key);
  uint8_t folded = fold.bytes;
  for (size_t r = 0; r < 4; ++r)
    if ((fold.length + 3 - r) / 4 % 2) folded ^= maskedSalt[r];
  for (size_t i = 0; i < 4; ++i) pad[i] = folded ^ salt[(fold.length + i) % 4];
}

}  // namespace

uint8_t maskByteFromDraw(int draw) { return static_cast<uint8_t>(2 + (draw * 253) / 32767); }

size_t encryptedCapacity(size_t length) { return 2 * (headerLength + length) + 1; }

size_t encryptInto(const char* text, size_t length, Key key, uint32_t tick, uint8_t mask,
                   char* out) {
  if (length == 0) return 0;
  uint8_t salt[4], header[headerLength], pad[4];
  writeLittleEndian(salt, tick);
  uint8_t* maskedSalt = header + 4;
  for (int i = 0; i < 4; ++i) maskedSalt[i] = salt[i] ^ mask;
  writeLittleEndian(header, ~uint32_t{mask} ^ readLittleEndian(maskedSalt));
  bodyPad(key, maskedSalt, salt, pad);

  const uint8_t noPad[4] = {};
  encodeHexXor(header, headerLength, noPad, out);
  size_t textLength = length;
  if (encodeHexXor(reinterpret_cast<const uint8_t*>(text), length, pad,
                   out + 2 * headerLength))  // the text ends at a zero byte
    textLength = text::lengthBeforeZero(text, length);
  if (textLength == 0) return 0;
  const size_t cipherLength = 2 * (headerLength + textLength);
  out[cipherLength] = '\0';
  return cipherLength;
}

size_t decryptedCapacity(size_t length) {
  const size_t blockLength = length / 2;
  return blockLength <= headerLength ? 1 : blockLength - headerLength + 1;
}

size_t decryptInto(const char* cipherText, size_t length, Key key, char* out) {
  const size_t blockLength = length / 2;  // an odd last character is ignored
  if (blockLength <= headerLength) return 0;
  uint8_t header[headerLength], salt[4], pad[4];
  const uint8_t noPad[4] = {};
  decodeHexXor(cipherText, headerLength, noPad, header);
  const uint8_t mask =
      static_cast<uint8_t>(~(readLittleEndian(header) ^ readLittleEndian(header + 4)));
  const uint8_t* maskedSalt = header + 4;
  for (int i = 0; i < 4; ++i) salt[i] = maskedSalt[i] ^ mask;
  bodyPad(key, maskedSalt, salt, pad);

  // Every byte written: the text ends at the first zero byte that
  // decryption gives, or at the terminator after the last byte.
  const size_t bodyLength = blockLength - headerLength;
  bool allDigits = false;
  const size_t plainLength = decodeHexXor(cipherText + 2 * headerLength, bodyLength, pad,
                                          reinterpret_cast<uint8_t*>(out), &allDigits);
  out[bodyLength] = '\0';
  // Only a non-digit can be a zero character that ends the cipher text early.
  if (!allDigits || text::lengthBeforeZero(cipherText, 2 * headerLength) < 2 * headerLength)
    if (const size_t end = text::lengthBeforeZero(cipherText, length); end < length)
      return decryptInto(cipherText, end, key, out);
  return plainLength;
}

zelk::Text encryptText(const char* text, size_t length, Key key, uint32_t tick, uint8_t mask,
                       size_t* resultLength) {
  if (resultLength != nullptr) *resultLength = 0;
  if (length == 0) return nullptr;
  const size_t capacity = encryptedCapacity(length);
  // Zero-filled past the result, as a block of exactly its size would be.
  zelk::Text cipherText(static_cast<char*>(zelk::heapAlloc(capacity)));
  const size_t cipherLength = encryptInto(text, length, key, tick, mask, cipherText.get());
  if (cipherLength == 0) return nullptr;
  if (resultLength != nullptr) *resultLength = cipherLength;
  return cipherText;
}

zelk::Text decryptText(const char* cipherText, size_t length, Key key, size_t* resultLength) {
  if (resultLength != nullptr) *resultLength = 0;
  if (length / 2 <= headerLength) return nullptr;
  zelk::Text plain(static_cast<char*>(zelk::heapAllocUncleared(decryptedCapacity(length))));
  const size_t plainLength = decryptInto(cipherText, length, key, plain.get());
  if (plainLength == 0) return nullptr;
  if (resultLength != nullptr) *resultLength = plainLength;
  return plain;
}

}  // namespace brovane::cipher
