// field_blocks_simd.cpp: the masks of 64-byte blocks in SSE2 and AVX2,
// chosen at run time, and byte by byte for processors without SSE2.
#include <immintrin.h>

#include <atomic>

#include "simd/simd_level.h"
#include "split/field_blocks.h"

namespace brovane::split::blockpath {

namespace {

// Counts one block into *count unless that takes the total past limit. The
// processor's population count, where the caller's target has one.
__attribute__((always_inline)) inline bool countBlock(uint64_t equal, uint64_t high, size_t base,
                                                      uint64_t limit, BlockCount* count) {
  uint64_t carry = count->carry;
  const uint64_t separators = equal & ~trailBits(high, &carry);
  const auto here = static_cast<uint64_t>(__builtin_popcountll(separators));
  if (here > limit - count->total) return false;
  count->total += here;
  count->carry = carry;
  if (separators) count->end = base + 64 - static_cast<size_t>(__builtin_clzll(separators));
  return true;
}

void masksScalar(const unsigned char* bytes, size_t blocks, unsigned char byte, uint64_t* equal,
                 uint64_t* high) {
  for (size_t b = 0; b < blocks; ++b, bytes += 64) {
    uint64_t e = 0, h = 0;
    for (unsigned i = 0; i < 64; ++i) {
      e |= uint64_t{bytes[i] == byte} << i;
      h |= uint64_t{bytes[i] >= 0x80} << i;
    }
    equal[b] = e, high[b] = h;
  }
}

SIMD_TARGET(sse2)
void masksSse2(const unsigned char* bytes, size_t blocks, unsigned char byte, uint64_t* equal,
               uint64_t* high) {
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(byte));
  for (size_t b = 0; b < blocks; ++b, bytes += 64) {
    uint64_t e = 0, h = 0;
    for (unsigned i = 0; i < 4; ++i) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i));
      e |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted)))} << 16 * i;
      h |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(v))} << 16 * i;  // the top bits
    }
    equal[b] = e, high[b] = h;
  }
}

SIMD_TARGET(avx2)
void masksAvx2(const unsigned char* bytes, size_t blocks, unsigned char byte, uint64_t* equal,
               uint64_t* high) {
  const __m256i wanted = _mm256_set1_epi8(static_cast<char>(byte));
  for (size_t b = 0; b < blocks; ++b, bytes += 64) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    const __m256i upper = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32));
    const uint32_t equalLow =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted)));
    const uint32_t equalUpper =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(upper, wanted)));
    equal[b] = uint64_t{equalLow} | uint64_t{equalUpper} << 32;
    high[b] = uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(low))} |
              uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(upper))} << 32;
  }
  _mm256_zeroupper();
}

size_t countScalar(const unsigned char* bytes, size_t blocks, unsigned char byte, uint64_t limit,
                   BlockCount* count) {
  for (size_t b = 0; b < blocks; ++b) {
    uint64_t equal, high;
    masksScalar(bytes + 64 * b, 1, byte, &equal, &high);
    if (!countBlock(equal, high, 64 * b, limit, count)) return b;
  }
  return blocks;
}

SIMD_TARGET(sse2)
size_t countSse2(const unsigned char* bytes, size_t blocks, unsigned char byte, uint64_t limit,
                 BlockCount* count) {
  for (size_t b = 0; b < blocks; ++b) {
    uint64_t equal, high;
    masksSse2(bytes + 64 * b, 1, byte, &equal, &high);
    if (!countBlock(equal, high, 64 * b, limit, count)) return b;
  }
  return blocks;
}

// The count runs in registers, in words of the target's width: a 32-bit
// target takes each block as two 32-bit words instead of emulating 64-bit
// arithmetic.
SIMD_TARGET(avx2)
size_t countAvx2(const unsigned char* bytes, size_t blocks, unsigned char byte, uint64_t limit,
                 BlockCount* count) {
  const __m256i wanted = _mm256_set1_epi8(static_cast<char>(byte));
  uint64_t total = count->total;
  size_t end = count->end;
  size_t carry = static_cast<size_t>(count->carry);
  size_t b = 0;
  for (; b < blocks; ++b) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 64 * b));
    const __m256i upper = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 64 * b + 32));
    const auto equalLow =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted)));
    const auto equalUpper =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(upper, wanted)));
    const auto highLow = static_cast<uint32_t>(_mm256_movemask_epi8(low));
    const auto highUpper = static_cast<uint32_t>(_mm256_movemask_epi8(upper));
    size_t next = carry, here = 0, last = 0;  // last: just past the block's last separator
    if constexpr (sizeof(size_t) >= 8) {
      uint64_t wide = carry;
      const uint64_t separators = (uint64_t{equalLow} | uint64_t{equalUpper} << 32) &
                                  ~trailBits(uint64_t{highLow} | uint64_t{highUpper} << 32, &wide);
      next = static_cast<size_t>(wide);
      here = static_cast<size_t>(__builtin_popcountll(separators));
      if (separators) last = 64 - static_cast<size_t>(__builtin_clzll(separators));
    } else {
      uint32_t word = static_cast<uint32_t>(carry);
      const uint32_t separatorsLow = equalLow & ~trailBits(highLow, &word);
      const uint32_t separatorsUpper = equalUpper & ~trailBits(highUpper, &word);
      next = word;
      here = static_cast<size_t>(__builtin_popcount(separatorsLow) +
                                 __builtin_popcount(separatorsUpper));
      if (separatorsUpper)
        last = 64 - static_cast<size_t>(__builtin_clz(separatorsUpper));
      else if (separatorsLow)
        last = 32 - static_cast<size_t>(__builtin_clz(separatorsLow));
    }
    if (here > limit - total) break;
    total += here;
    carry = next;
    if (last) end = 64 * b + last;
  }
  _mm256_zeroupper();
  count->total = total;
  count->end = end;
  count->carry = carry;
  return b;
}

std::atomic<int> detectedLevel{-1};

}  // namespace

bool runs(Level level) { return simd::runsFileLevel(level); }

Level bestLevel() { return simd::bestOnce(detectedLevel, {Level::avx2, Level::sse2}); }

MaskFunction maskFunction(Level level) {
  switch (level) {
    case Level::avx2:
      return masksAvx2;
    case Level::sse2:
      return masksSse2;
    case Level::scalar:
      break;
  }
  return masksScalar;
}

CountFunction countFunction(Level level) {
  switch (level) {
    case Level::avx2:
      return countAvx2;
    case Level::sse2:
      return countSse2;
    case Level::scalar:
      break;
  }
  return countScalar;
}

}  // namespace brovane::split::blockpath
