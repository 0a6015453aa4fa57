// hex.h: byte strings as uppercase hexadecimal texts and back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text.h"

namespace brovane::cipher {

// Two uppercase digits per byte, each pair followed by separator (also after
// the last). An empty input gives the missing text.
zelk::Text encodeHex(const uint8_t* bytes, size_t length, const char* separator);

// One byte per 2 + (separator length) characters, the separator characters
// never looked at; a pair that is not two of "0"-"9", "A"-"F" gives 0, and
// characters past the last whole step are ignored.
zelk::Bytes decodeHex(const char* text, const char* separator);

// The cipher's fused passes, without separators: byte i is XORed with
// pad[i % 4] on its way in or out (a zero pad is plain conversion). Each
// takes the fastest instruction set the processor has. encodeHexXor tells
// whether bytes held a zero byte. decodeHexXor returns the index of the first
// zero byte it wrote, or length when none; *allDigits, when given, becomes
// true only if every character was a digit (false also when a path is unsure).
bool encodeHexXor(const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out);
size_t decodeHexXor(const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
                    bool* allDigits = nullptr);

}  // namespace brovane::cipher
