// field_blocks_simd.cpp: the masks of 64-byte blocks in SSE2 and AVX2,
// chosen at run time, and byte by byte for processors without SSE2.
#include <immintrin.h>

#include <atomic>
#include <cstdint>

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

// trailBits of the low 64-bit lane, in a vector register: a 32-bit target
// has no 64-bit word, and two 32-bit words in a row would double the chain
// of carries from block to block, which bounds the count's speed. Unused
// where size_t is 64 bits, hence maybe_unused.
[[maybe_unused]] SIMD_INLINE(sse2) __m128i trailBitsOfLane(__m128i high, __m128i* carry) {
  const __m128i oddBits = _mm_set1_epi32(static_cast<int>(0xAAAAAAAAu));
  const __m128i mayLead = _mm_andnot_si128(*carry, high);
  const __m128i leadsAndTrails = _mm_xor_si128(
      _mm_sub_epi64(_mm_or_si128(_mm_slli_epi64(mayLead, 1), oddBits), mayLead), oddBits);
  const __m128i trails = _mm_xor_si128(leadsAndTrails, _mm_or_si128(high, *carry));
  *carry = _mm_srli_epi64(_mm_and_si128(leadsAndTrails, high), 63);
  return trails;
}

// The count runs in registers, in words of the target's width; a 32-bit
// target takes each block's trail bits in a vector register.
SIMD_TARGET(avx2)
size_t countAvx2(const unsigned char* bytes, size_t blocks, unsigned char byte, uint64_t limit,
                 BlockCount* count) {
  const __m256i wanted = _mm256_set1_epi8(static_cast<char>(byte));
  // In words of the target's width: one call adds at most 64 per block.
  const uint64_t left = limit - count->total;
  const size_t room = left < SIZE_MAX ? static_cast<size_t>(left) : SIZE_MAX;
  size_t added = 0;
  size_t end = count->end;
  size_t carry = static_cast<size_t>(count->carry);
  __m128i carryLane = _mm_cvtsi32_si128(static_cast<int>(carry));  // 32-bit targets' carry
  // A pointer, not an index: a 32-bit target has too few registers for both.
  const unsigned char* block = bytes;
  for (const unsigned char* const stop = bytes + 64 * blocks; block != stop; block += 64) {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
    const __m256i upper = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
    const auto equalLow =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted)));
    const auto equalUpper =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(upper, wanted)));
    const auto highLow = static_cast<uint32_t>(_mm256_movemask_epi8(low));
    const auto highUpper = static_cast<uint32_t>(_mm256_movemask_epi8(upper));
    size_t next = carry, here = 0, last = 0;  // last: just past the block's last separator
    __m128i nextLane = carryLane;
    if constexpr (sizeof(size_t) >= 8) {
      uint64_t wide = carry;
      const uint64_t separators = (uint64_t{equalLow} | uint64_t{equalUpper} << 32) &
                                  ~trailBits(uint64_t{highLow} | uint64_t{highUpper} << 32, &wide);
      next = static_cast<size_t>(wide);
      here = static_cast<size_t>(__builtin_popcountll(separators));
      if (separators) last = 64 - static_cast<size_t>(__builtin_clzll(separators));
    } else {
      const __m128i high = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(highLow)),
                                              _mm_cvtsi32_si128(static_cast<int>(highUpper)));
      const __m128i trails = trailBitsOfLane(high, &nextLane);
      const uint32_t separatorsLow = equalLow & ~static_cast<uint32_t>(_mm_cvtsi128_si32(trails));
      const uint32_t separatorsUpper =
          equalUpper & ~static_cast<uint32_t>(_mm_extract_epi32(trails, 1));
      here = static_cast<size_t>(__builtin_popcount(separatorsLow) +
                                 __builtin_popcount(separatorsUpper));
      if (separatorsUpper)
        last = 64 - static_cast<size_t>(__builtin_clz(separatorsUpper));
      else if (separatorsLow)
        last = 32 - static_cast<size_t>(__builtin_clz(separatorsLow));
    }
    if (here > room - added) break;
    added += here;
    carry = next;
    carryLane = nextLane;
    if (last) end = static_cast<size_t>(block - bytes) + last;
  }
  _mm256_zeroupper();
  count->total += added;
  count->end = end;
  count->carry = sizeof(size_t) >= 8 ? carry : static_cast<uint32_t>(_mm_cvtsi128_si32(carryLane));
  return static_cast<size_t>(block - bytes) / 64;
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
