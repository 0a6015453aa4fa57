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

// The value of the pair at text[0], text[1], or 0 (see decodeHex).
uint8_t decodeHexPair(const char* pair);

}  // namespace brovane::cipher
