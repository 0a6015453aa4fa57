// text_cipher.h: the salted XOR cipher of 加密 and 解密.
//
// Cipher block: check word (NOT r) XOR m, little-endian; the masked salt m
// (each tick-count byte XOR the mask byte r); then each text byte XOR every
// masked key byte XOR a salt byte. The cipher text is the block in uppercase
// hexadecimal.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text.h"

namespace brovane::cipher {

// A key: its bytes before the first zero byte. An empty or missing key is
// the default key. From a C text it is measured here; the exports give the
// length they found within Lua's.
struct Key {
  Key(const char* text) : bytes(text), length(zelk::textLength(text)) {}  // NOLINT: implicit
  Key(const char* text, size_t lengthBeforeZero) : bytes(text), length(lengthBeforeZero) {}
  const char* bytes;
  size_t length;
};

// The mask byte for a draw of a 0..32767 generator: 2 to 255.
uint8_t maskByteFromDraw(int draw);

// The room encryptInto needs for a text of length bytes: 16 + 2n + 1.
size_t encryptedCapacity(size_t length);

// The cipher text under key (an empty or missing key is the default key),
// salted with tick and mask, of text (its bytes before the first zero byte
// among length), written to out with its terminator; returns its length, 0
// for the empty text (out then untouched).
size_t encryptInto(const char* text, size_t length, Key key, uint32_t tick, uint8_t mask,
                   char* out);

// The room decryptInto needs for a cipher text of length characters.
size_t decryptedCapacity(size_t length);

// The plain text of a cipher text (its characters before the first zero
// character among length), written to out with its terminator: the
// decrypted bytes up to the first zero byte. Returns its length, 0 when none
// remain or the cipher text has fewer than 9 whole bytes.
size_t decryptInto(const char* cipherText, size_t length, Key key, char* out);

// encryptInto into a new block: the missing text when empty. *resultLength,
// when given, receives the result's length.
zelk::Text encryptText(const char* text, size_t length, Key key, uint32_t tick, uint8_t mask,
                       size_t* resultLength = nullptr);

// decryptInto into a new block: the missing text when empty. *resultLength
// as for encryptText.
zelk::Text decryptText(const char* cipherText, size_t length, Key key,
                       size_t* resultLength = nullptr);

}  // namespace brovane::cipher
