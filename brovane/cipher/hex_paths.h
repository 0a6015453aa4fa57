// hex_paths.h: the fused hex passes per instruction set, for the dispatch
// and for the tests that hold each path to the scalar one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace brovane::cipher::hexpath {

enum class Level {
  scalar = static_cast<int>(simd::Level::scalar),
  sse2 = static_cast<int>(simd::Level::sse2),
  ssse3 = static_cast<int>(simd::Level::ssse3),
  avx2 = static_cast<int>(simd::Level::avx2),
  avx512 = static_cast<int>(simd::Level::avx512bw),  // AVX-512BW decoding
};

bool runs(Level level);  // whether this processor has the instructions
Level bestLevel();       // the fastest path that runs here

// encodeHexXor and decodeHexXor (hex.h) through the given path, which must run.
bool encode(Level level, const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out);
size_t decode(Level level, const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
              bool* allDigits = nullptr);

// The table-driven passes: every path's reference and tail.
void encodeScalar(const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out);
void decodeScalar(const char* text, size_t length, const uint8_t pad[4], uint8_t* out);

}  // namespace brovane::cipher::hexpath
