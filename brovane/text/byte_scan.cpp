// byte_scan.cpp: the byte search in SSE2 and AVX2, chosen at run time, and a
// word at a time for processors without SSE2.
#include "text/byte_scan.h"

#include <immintrin.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace brovane::text::scanpath {

namespace {

// Texts shorter than a vector are read byte by byte on every path: a short
// call then costs no more than before.
size_t findBytewise(const char* bytes, size_t from, size_t length, unsigned char byte) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t i = from; i < length; ++i)
    if (p[i] == byte) return i;
  return length;
}

// Eight bytes at a time: a byte of the word XOR the repeated byte is zero
// exactly at a match, and the borrow trick flags the first such byte.
size_t findScalar(const char* bytes, size_t length, unsigned char byte) {
  constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  const uint64_t repeated = ones * byte;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    word ^= repeated;
    if ((word - ones) & ~word & highs) break;
  }
  return findBytewise(bytes, i, length, byte);
}

// The bits of the bytes equal to wanted among the vector at bytes.
SIMD_INLINE(sse2) unsigned matches16(const char* bytes, __m128i wanted) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted)));
}

SIMD_INLINE(avx2) uint32_t matches32(const char* bytes, __m256i wanted) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
  return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, wanted)));
}

// Each vector path: one unaligned load at the start, then aligned loads four
// at a time, then the last vector again unaligned, so no byte past the text
// is ever read.
SIMD_TARGET(sse2)
size_t findSse2(const char* bytes, size_t length, unsigned char byte) {
  if (length < 16) return findBytewise(bytes, 0, length, byte);
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(byte));
  if (unsigned m = matches16(bytes, wanted)) return static_cast<size_t>(__builtin_ctz(m));
  size_t i = 16 - (reinterpret_cast<uintptr_t>(bytes) & 15);
  for (; i + 64 <= length; i += 64) {
    const auto* p = reinterpret_cast<const __m128i*>(bytes + i);
    const __m128i a = _mm_cmpeq_epi8(_mm_load_si128(p), wanted);
    const __m128i b = _mm_cmpeq_epi8(_mm_load_si128(p + 1), wanted);
    const __m128i c = _mm_cmpeq_epi8(_mm_load_si128(p + 2), wanted);
    const __m128i d = _mm_cmpeq_epi8(_mm_load_si128(p + 3), wanted);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) break;
  }
  for (; i + 16 <= length; i += 16)
    if (unsigned m = matches16(bytes + i, wanted)) return i + static_cast<size_t>(__builtin_ctz(m));
  if (i == length) return length;
  if (unsigned m = matches16(bytes + length - 16, wanted) >> (i - (length - 16)))
    return i + static_cast<size_t>(__builtin_ctz(m));
  return length;
}

SIMD_TARGET(avx2)
size_t findAvx2(const char* bytes, size_t length, unsigned char byte) {
  if (length < 32) return findSse2(bytes, length, byte);
  const __m256i wanted = _mm256_set1_epi8(static_cast<char>(byte));
  size_t found = length;
  if (uint32_t m = matches32(bytes, wanted)) {
    found = static_cast<size_t>(__builtin_ctz(m));
  } else {
    size_t i = 32 - (reinterpret_cast<uintptr_t>(bytes) & 31);
    for (; i + 128 <= length; i += 128) {
      const auto* p = reinterpret_cast<const __m256i*>(bytes + i);
      const __m256i a = _mm256_cmpeq_epi8(_mm256_load_si256(p), wanted);
      const __m256i b = _mm256_cmpeq_epi8(_mm256_load_si256(p + 1), wanted);
      const __m256i c = _mm256_cmpeq_epi8(_mm256_load_si256(p + 2), wanted);
      const __m256i d = _mm256_cmpeq_epi8(_mm256_load_si256(p + 3), wanted);
      if (_mm256_movemask_epi8(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d))) != 0)
        break;
    }
    for (; i + 32 <= length && found == length; i += 32)
      if (uint32_t m = matches32(bytes + i, wanted))
        found = i + static_cast<size_t>(__builtin_ctz(m));
    if (found == length && i < length)
      if (uint32_t m = matches32(bytes + length - 32, wanted) >> (i - (length - 32)))
        found = i + static_cast<size_t>(__builtin_ctz(m));
  }
  _mm256_zeroupper();
  return found;
}

std::atomic<int> detectedLevel{-1};

}  // namespace

bool runs(Level level) { return simd::runsFileLevel(level); }

Level bestLevel() { return simd::bestOnce(detectedLevel, {Level::avx2, Level::sse2}); }

size_t find(Level level, const char* bytes, size_t length, unsigned char byte) {
  switch (level) {
    case Level::avx2:
      return findAvx2(bytes, length, byte);
    case Level::sse2:
      return findSse2(bytes, length, byte);
    case Level::scalar:
      break;
  }
  return findScalar(bytes, length, byte);
}

}  // namespace brovane::text::scanpath

namespace brovane::text {

size_t findByte(const char* bytes, size_t length, unsigned char byte) {
  return scanpath::find(scanpath::bestLevel(), bytes, length, byte);
}

}  // namespace brovane::text
