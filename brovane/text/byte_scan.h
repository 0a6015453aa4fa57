// byte_scan.h: the first occurrence of a byte in a text, by our own vector
// code. The C runtime's strlen and memchr are byte loops on some Windows
// builds, and every export that reads a long text up to its first zero byte
// pays for that on each call.
#pragma once

#include <cstddef>

#include "simd/simd_level.h"

namespace brovane::text {

namespace scanpath {

enum class Level {
  scalar = static_cast<int>(simd::Level::scalar),
  sse2 = static_cast<int>(simd::Level::sse2),
  avx2 = static_cast<int>(simd::Level::avx2),
};

bool runs(Level level);  // whether this processor has the instructions
Level bestLevel();       // the fastest path that runs here

// The position of the first byte `byte` among length bytes from bytes, or
// length when there is none; the level must run. Reads no byte outside them.
size_t find(Level level, const char* bytes, size_t length, unsigned char byte);

}  // namespace scanpath

// scanpath::find on the fastest path.
size_t findByte(const char* bytes, size_t length, unsigned char byte);

// How many of length bytes come before the first zero byte (all when none).
inline size_t lengthBeforeZero(const char* bytes, size_t length) {
  return findByte(bytes, length, 0);
}

}  // namespace brovane::text
