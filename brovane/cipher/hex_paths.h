// hex_paths.h: the fused hex passes per instruction set, for the dispatch
// and for the tests that hold each path to the scalar one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brovane::cipher::hexpath {

enum class Level { scalar, sse2, ssse3, avx2, avx512 };  // avx512: AVX-512BW decoding

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
