// text_cipher.h: the salted XOR cipher of 加密 and 解密 on byte strings.
//
// Block: check word (NOT r) XOR m, little-endian; the masked salt m (each
// tick-count byte XOR the mask byte r); then each data byte XOR every masked
// key byte XOR a salt byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text.h"

namespace brovane::cipher {

constexpr size_t headerLength = 8;

// The key in force: the default key when the given one is empty.
const char* keyOrDefault(const char* key);

// The mask byte for a draw of a 0..32767 generator: 2 to 255.
uint8_t maskByteFromDraw(int draw);

// The cipher block of data under key, salted with tick and mask; an empty
// data gives the empty (null) block.
zelk::Bytes encryptBlock(const uint8_t* data, size_t length, const char* key, uint32_t tick,
                         uint8_t mask);

// Decrypts the body of a block in place (bytes headerLength onwards); a
// block of headerLength bytes or fewer is left alone.
void decryptBlockInPlace(uint8_t* block, size_t length, const char* key);

}  // namespace brovane::cipher
