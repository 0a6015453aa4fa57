// text_cipher.cpp: encryption and decryption, fused with the hex passes.
#include "cipher/text_cipher.h"

#include <cstring>

#include "cipher/hex.h"

namespace brovane::cipher {

namespace {

const char defaultKey[] = "pk4vzd9qewn2sb7fjr0mtyc5hl8xgi3oua61!?#$%^&()+-=:;.";

constexpr size_t headerLength = 8;

uint32_t readLittleEndian(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

void writeLittleEndian(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The pad of the body: byte i is XORed with every masked key byte (key byte
// j XOR the masked salt byte j % 4, folded into one byte, as XOR allows) and
// with salt byte (keyLength + i) % 4, the step counter running on from the
// key's steps.
void bodyPad(const char* key, const uint8_t maskedSalt[4], const uint8_t salt[4], uint8_t pad[4]) {
  const size_t keyLength = std::strlen(key);
  uint8_t folded = 0;
  for (size_t j = 0; j < keyLength; ++j) folded ^= static_cast<uint8_t>(key[j]) ^ maskedSalt[j % 4];
  for (size_t i = 0; i < 4; ++i) pad[i] = folded ^ salt[(keyLength + i) % 4];
}

}  // namespace

const char* keyOrDefault(const char* key) { return zelk::textLength(key) ? key : defaultKey; }

uint8_t maskByteFromDraw(int draw) { return static_cast<uint8_t>(2 + (draw * 253) / 32767); }

zelk::Text encryptText(const char* text, size_t length, const char* key, uint32_t tick,
                       uint8_t mask, size_t* resultLength) {
  if (resultLength != nullptr) *resultLength = 0;
  if (length == 0) return nullptr;
  uint8_t salt[4], header[headerLength], pad[4];
  writeLittleEndian(salt, tick);
  uint8_t* maskedSalt = header + 4;
  for (int i = 0; i < 4; ++i) maskedSalt[i] = salt[i] ^ mask;
  writeLittleEndian(header, ~uint32_t{mask} ^ readLittleEndian(maskedSalt));
  bodyPad(keyOrDefault(key), maskedSalt, salt, pad);

  // Written in full below, terminator included: no zero fill needed.
  const size_t blockLength = 2 * (headerLength + length);
  zelk::Text cipherText(static_cast<char*>(zelk::heapAllocUncleared(blockLength + 1)));
  const uint8_t noPad[4] = {};
  encodeHexXor(header, headerLength, noPad, cipherText.get());
  size_t textLength = length;
  if (encodeHexXor(reinterpret_cast<const uint8_t*>(text), length, pad,
                   cipherText.get() + 2 * headerLength))  // the text ends at a zero byte
    textLength = static_cast<size_t>(static_cast<const char*>(std::memchr(text, 0, length)) - text);
  if (textLength == 0) return nullptr;
  // The terminator, and past an early end what a zero-filled block holds.
  const size_t cipherLength = 2 * (headerLength + textLength);
  std::memset(cipherText.get() + cipherLength, 0, blockLength + 1 - cipherLength);
  if (resultLength != nullptr) *resultLength = cipherLength;
  return cipherText;
}

zelk::Text decryptText(const char* cipherText, size_t length, const char* key,
                       size_t* resultLength) {
  if (resultLength != nullptr) *resultLength = 0;
  const size_t blockLength = length / 2;  // an odd last character is ignored
  if (blockLength <= headerLength) return nullptr;
  uint8_t header[headerLength], salt[4], pad[4];
  const uint8_t noPad[4] = {};
  decodeHexXor(cipherText, headerLength, noPad, header);
  const uint8_t mask =
      static_cast<uint8_t>(~(readLittleEndian(header) ^ readLittleEndian(header + 4)));
  const uint8_t* maskedSalt = header + 4;
  for (int i = 0; i < 4; ++i) salt[i] = maskedSalt[i] ^ mask;
  bodyPad(keyOrDefault(key), maskedSalt, salt, pad);

  // One byte longer, every byte written: the text ends at the first zero
  // byte that decryption gives, or at the terminator after the last byte.
  const size_t bodyLength = blockLength - headerLength;
  zelk::Text plain(static_cast<char*>(zelk::heapAllocUncleared(bodyLength + 1)));
  plain.get()[bodyLength] = '\0';
  bool allDigits = false;
  const size_t plainLength = decodeHexXor(cipherText + 2 * headerLength, bodyLength, pad,
                                          reinterpret_cast<uint8_t*>(plain.get()), &allDigits);
  // Only a non-digit can be a zero character that ends the cipher text early.
  if (!allDigits || std::memchr(cipherText, 0, 2 * headerLength) != nullptr)
    if (const void* end = std::memchr(cipherText, 0, length))
      return decryptText(cipherText,
                         static_cast<size_t>(static_cast<const char*>(end) - cipherText), key,
                         resultLength);
  if (plainLength == 0) return nullptr;
  if (resultLength != nullptr) *resultLength = plainLength;
  return plain;
}

}  // namespace brovane::cipher
