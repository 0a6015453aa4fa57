// text_cipher.cpp: encryption and decryption of cipher blocks.
#include "cipher/text_cipher.h"

#include <cstring>

namespace brovane::cipher {

namespace {

const char defaultKey[] = "pk4vzd9qewn2sb7fjr0mtyc5hl8xgi3oua61!?#$%^&()+-=:;.";

uint32_t readLittleEndian(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

void writeLittleEndian(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Every key byte XOR the masked salt byte of its step, folded into one byte:
// XOR is associative, so applying this byte equals applying each masked
// key byte in turn.
uint8_t foldedKey(const char* key, size_t keyLength, const uint8_t maskedSalt[4]) {
  uint8_t folded = 0;
  for (size_t i = 0; i < keyLength; ++i) folded ^= static_cast<uint8_t>(key[i]) ^ maskedSalt[i % 4];
  return folded;
}

// XORs each byte with the folded key and the salt byte of its step; the
// steps run on from the key's, so byte i takes salt[(keyLength + i) % 4].
void applyKeystream(uint8_t* bytes, size_t length, uint8_t folded, const uint8_t salt[4],
                    size_t keyLength) {
  uint8_t pad[4];
  for (size_t j = 0; j < 4; ++j) pad[j] = folded ^ salt[(keyLength + j) % 4];
  for (size_t i = 0; i < length; ++i) bytes[i] ^= pad[i % 4];
}

}  // namespace

const char* keyOrDefault(const char* key) { return zelk::textLength(key) ? key : defaultKey; }

uint8_t maskByteFromDraw(int draw) { return static_cast<uint8_t>(2 + (draw * 253) / 32767); }

zelk::Bytes encryptBlock(const uint8_t* data, size_t length, const char* key, uint32_t tick,
                         uint8_t mask) {
  zelk::Bytes block;
  if (length == 0) return block;
  key = keyOrDefault(key);
  const size_t keyLength = std::strlen(key);
  uint8_t salt[4], maskedSalt[4];
  writeLittleEndian(salt, tick);
  for (int i = 0; i < 4; ++i) maskedSalt[i] = salt[i] ^ mask;
  block.data.reset(static_cast<uint8_t*>(zelk::heapAlloc(headerLength + length)));
  block.length = headerLength + length;
  uint8_t* out = block.data.get();
  writeLittleEndian(out, ~uint32_t{mask} ^ readLittleEndian(maskedSalt));
  std::memcpy(out + 4, maskedSalt, 4);
  std::memcpy(out + headerLength, data, length);
  applyKeystream(out + headerLength, length, foldedKey(key, keyLength, maskedSalt), salt,
                 keyLength);
  return block;
}

void decryptBlockInPlace(uint8_t* block, size_t length, const char* key) {
  if (length <= headerLength) return;
  key = keyOrDefault(key);
  const size_t keyLength = std::strlen(key);
  const uint32_t mask = ~(readLittleEndian(block) ^ readLittleEndian(block + 4));
  const uint8_t* maskedSalt = block + 4;
  uint8_t salt[4];
  for (int i = 0; i < 4; ++i) salt[i] = maskedSalt[i] ^ static_cast<uint8_t>(mask);
  applyKeystream(block + headerLength, length - headerLength, foldedKey(key, keyLength, maskedSalt),
                 salt, keyLength);
}

}  // namespace brovane::cipher
