// hex_simd.cpp: the fused hex passes in SSE2, SSSE3 and AVX2, chosen at run
// time; the scalar tables finish each tail and serve processors without SSE2.
#include <immintrin.h>

#include <atomic>
#include <cstring>

#include "cipher/hex.h"
#include "cipher/hex_paths.h"
#include "simd/simd_level.h"
#include "text/byte_scan.h"

namespace brovane::cipher::hexpath {

namespace {

int padWord(const uint8_t pad[4]) {  // pad[0] in the lowest byte, as x86 loads it
  uint32_t word =
      uint32_t{pad[0]} | uint32_t{pad[1]} << 8 | uint32_t{pad[2]} << 16 | uint32_t{pad[3]} << 24;
  int result;
  std::memcpy(&result, &word, sizeof result);
  return result;
}

// --- SSE2 -------------------------------------------------------------------

// Whether a byte of the running minimum of the written bytes is zero.
SIMD_INLINE(sse2) bool hasZeroByte(__m128i least) {
  return _mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0;
}

// Digits 0..15 as "0"-"9", "A"-"F".
SIMD_INLINE(sse2) __m128i asciiSse2(__m128i n) {
  const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(n, _mm_set1_epi8(9)), _mm_set1_epi8(7));
  return _mm_add_epi8(_mm_add_epi8(n, _mm_set1_epi8('0')), letters);
}

// The value of each of 16 characters, 0 where it is no digit; valid marks the digits.
SIMD_INLINE(sse2) __m128i nibblesSse2(__m128i c, __m128i* valid) {
  const __m128i d = _mm_sub_epi8(c, _mm_set1_epi8('0'));
  const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
  const __m128i l = _mm_sub_epi8(c, _mm_set1_epi8('A'));
  const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(l, _mm_set1_epi8(5)), l);
  *valid = _mm_or_si128(isDigit, isLetter);
  const __m128i letterValue = _mm_add_epi8(l, _mm_set1_epi8(10));
  return _mm_or_si128(_mm_and_si128(isDigit, d), _mm_and_si128(isLetter, letterValue));
}

// 16 characters to 8 bytes in 16-bit lanes; 0 for a pair with a non-digit.
SIMD_INLINE(sse2) __m128i pairsSse2(__m128i c) {
  __m128i valid;
  const __m128i n = nibblesSse2(c, &valid);
  const __m128i high = _mm_slli_epi16(_mm_and_si128(n, _mm_set1_epi16(0xFF)), 4);
  const __m128i value = _mm_or_si128(high, _mm_srli_epi16(n, 8));
  return _mm_and_si128(value, _mm_cmpeq_epi16(valid, _mm_set1_epi32(-1)));
}

SIMD_TARGET(sse2)
size_t encodeSse2(const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out,
                  bool* sawZero) {
  const __m128i padBytes = _mm_set1_epi32(padWord(pad)), low4 = _mm_set1_epi8(0x0F);
  size_t i = 0;
  __m128i least = _mm_set1_epi8(-1);
  for (; i + 16 <= length; i += 16) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    least = _mm_min_epu8(least, in);
    const __m128i x = _mm_xor_si128(in, padBytes);
    const __m128i high = asciiSse2(_mm_and_si128(_mm_srli_epi16(x, 4), low4));
    const __m128i low = asciiSse2(_mm_and_si128(x, low4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(high, low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(high, low));
  }
  *sawZero = hasZeroByte(least);
  return i;
}

SIMD_TARGET(sse2)
size_t decodeSse2(const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
                  bool* sawZero, bool* allDigits) {
  const __m128i padBytes = _mm_set1_epi32(padWord(pad));
  __m128i least = _mm_set1_epi8(-1);
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    const auto* in = reinterpret_cast<const __m128i*>(text + 2 * i);
    const __m128i packed =
        _mm_packus_epi16(pairsSse2(_mm_loadu_si128(in)), pairsSse2(_mm_loadu_si128(in + 1)));
    const __m128i bytes = _mm_xor_si128(packed, padBytes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    least = _mm_min_epu8(least, bytes);
  }
  *sawZero = hasZeroByte(least);
  *allDigits = false;  // not tracked here
  return i;
}

// --- SSSE3: a table shuffle makes the digits, a multiply-add joins pairs -----

SIMD_INLINE(ssse3) __m128i digitTableSsse3() {
  return _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E',
                       'F');
}

// Per nibble: the classes that make a character invalid (high nibble 3 with
// a low nibble above 9, 4 with 0 or above 6, any other high nibble), and the
// amount to add to the low nibble for the digit's value.
SIMD_INLINE(ssse3) __m128i highBadSsse3() {
  return _mm_setr_epi8(4, 4, 4, 1, 2, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4);
}
SIMD_INLINE(ssse3) __m128i lowBadSsse3() {
  return _mm_setr_epi8(6, 4, 4, 4, 4, 4, 4, 6, 6, 6, 7, 7, 7, 7, 7, 7);
}
SIMD_INLINE(ssse3) __m128i highAddSsse3() {
  return _mm_setr_epi8(0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

// 16 characters to 8 bytes in 16-bit lanes; 0 for a pair with a non-digit.
// anyBad gathers the invalid classes seen.
SIMD_INLINE(ssse3) __m128i pairsSsse3(__m128i c, __m128i* anyBad) {
  const __m128i low4 = _mm_set1_epi8(0x0F);
  const __m128i high = _mm_and_si128(_mm_srli_epi16(c, 4), low4), low = _mm_and_si128(c, low4);
  const __m128i bad =
      _mm_and_si128(_mm_shuffle_epi8(highBadSsse3(), high), _mm_shuffle_epi8(lowBadSsse3(), low));
  *anyBad = _mm_or_si128(*anyBad, bad);
  const __m128i digits = _mm_add_epi8(low, _mm_shuffle_epi8(highAddSsse3(), high));
  const __m128i value = _mm_maddubs_epi16(digits, _mm_set1_epi16(0x0110));  // 16 * first + second
  return _mm_and_si128(value, _mm_cmpeq_epi16(bad, _mm_setzero_si128()));
}

SIMD_TARGET(ssse3)
size_t encodeSsse3(const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out,
                   bool* sawZero) {
  const __m128i padBytes = _mm_set1_epi32(padWord(pad)), low4 = _mm_set1_epi8(0x0F);
  const __m128i table = digitTableSsse3();
  size_t i = 0;
  __m128i least = _mm_set1_epi8(-1);
  for (; i + 16 <= length; i += 16) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    least = _mm_min_epu8(least, in);
    const __m128i x = _mm_xor_si128(in, padBytes);
    const __m128i high = _mm_shuffle_epi8(table, _mm_and_si128(_mm_srli_epi16(x, 4), low4));
    const __m128i low = _mm_shuffle_epi8(table, _mm_and_si128(x, low4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(high, low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(high, low));
  }
  *sawZero = hasZeroByte(least);
  return i;
}

SIMD_TARGET(ssse3)
size_t decodeSsse3(const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
                   bool* sawZero, bool* allDigits) {
  const __m128i padBytes = _mm_set1_epi32(padWord(pad));
  __m128i least = _mm_set1_epi8(-1), anyBad = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    const auto* in = reinterpret_cast<const __m128i*>(text + 2 * i);
    const __m128i packed = _mm_packus_epi16(pairsSsse3(_mm_loadu_si128(in), &anyBad),
                                            pairsSsse3(_mm_loadu_si128(in + 1), &anyBad));
    const __m128i bytes = _mm_xor_si128(packed, padBytes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    least = _mm_min_epu8(least, bytes);
  }
  *sawZero = hasZeroByte(least);
  *allDigits = _mm_movemask_epi8(_mm_cmpeq_epi8(anyBad, _mm_setzero_si128())) == 0xFFFF;
  return i;
}

// --- AVX2: the SSSE3 steps on two 128-bit lanes at once ----------------------

SIMD_INLINE(avx2) bool hasZeroByte256(__m256i least) {
  return hasZeroByte(
      _mm_min_epu8(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1)));
}

// With zeroInvalid false, a pair with a non-digit gives some value: only
// anyBad tells.
SIMD_INLINE(avx2) __m256i pairsAvx2(__m256i c, __m256i* anyBad, bool zeroInvalid) {
  const __m256i low4 = _mm256_set1_epi8(0x0F);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi16(c, 4), low4);
  const __m256i low = _mm256_and_si256(c, low4);
  const __m256i bad =
      _mm256_and_si256(_mm256_shuffle_epi8(_mm256_broadcastsi128_si256(highBadSsse3()), high),
                       _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(lowBadSsse3()), low));
  *anyBad = _mm256_or_si256(*anyBad, bad);
  const __m256i add = _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(highAddSsse3()), high);
  const __m256i value = _mm256_maddubs_epi16(_mm256_add_epi8(low, add), _mm256_set1_epi16(0x0110));
  if (!zeroInvalid) return value;
  return _mm256_and_si256(value, _mm256_cmpeq_epi16(bad, _mm256_setzero_si256()));
}

SIMD_TARGET(avx2)
size_t encodeAvx2(const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out,
                  bool* sawZero) {
  const __m256i padBytes = _mm256_set1_epi32(padWord(pad)), low4 = _mm256_set1_epi8(0x0F);
  const __m256i table = _mm256_broadcastsi128_si256(digitTableSsse3());
  size_t i = 0;
  __m256i least = _mm256_set1_epi8(-1);
  for (; i + 32 <= length; i += 32) {
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
    least = _mm256_min_epu8(least, in);
    // Bytes 0-7 | 16-23 in the low lane, 8-15 | 24-31 in the high one: the
    // per-lane interleave then gives the digits in order.
    const __m256i x = _mm256_xor_si256(_mm256_permute4x64_epi64(in, 0xD8), padBytes);
    const __m256i high =
        _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(x, 4), low4));
    const __m256i low = _mm256_shuffle_epi8(table, _mm256_and_si256(x, low4));
    auto* to = reinterpret_cast<__m256i*>(out + 2 * i);
    _mm256_storeu_si256(to, _mm256_unpacklo_epi8(high, low));
    _mm256_storeu_si256(to + 1, _mm256_unpackhi_epi8(high, low));
  }
  *sawZero = hasZeroByte256(least);
  _mm256_zeroupper();
  return i;
}

SIMD_INLINE(avx2)
size_t decodePassAvx2(const char* text, size_t length, __m256i padBytes, uint8_t* out,
                      __m256i* least, __m256i* anyBad, bool zeroInvalid) {
  *least = _mm256_set1_epi8(-1), *anyBad = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    const auto* in = reinterpret_cast<const __m256i*>(text + 2 * i);
    // Packing works per lane: bytes 0-7, 16-23, 8-15, 24-31; put them in order.
    const __m256i packed =
        _mm256_packus_epi16(pairsAvx2(_mm256_loadu_si256(in), anyBad, zeroInvalid),
                            pairsAvx2(_mm256_loadu_si256(in + 1), anyBad, zeroInvalid));
    const __m256i bytes = _mm256_xor_si256(_mm256_permute4x64_epi64(packed, 0xD8), padBytes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), bytes);
    *least = _mm256_min_epu8(*least, bytes);
  }
  return i;
}

// Cipher texts are nearly always all digits: the first pass leaves out the
// zeroing of invalid pairs, and only a text with a non-digit goes again.
SIMD_TARGET(avx2)
size_t decodeAvx2(const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
                  bool* sawZero, bool* allDigits) {
  const __m256i padBytes = _mm256_set1_epi32(padWord(pad));
  __m256i least, anyBad;
  size_t i = decodePassAvx2(text, length, padBytes, out, &least, &anyBad, false);
  if (!_mm256_testz_si256(anyBad, anyBad))
    i = decodePassAvx2(text, length, padBytes, out, &least, &anyBad, true);
  *sawZero = hasZeroByte256(least);
  *allDigits = _mm256_testz_si256(anyBad, anyBad);
  _mm256_zeroupper();
  return i;
}

// --- AVX-512BW: the AVX2 decode on 64 bytes at a time --------------------------

// The masked forms: GCC 12 warns about the undefined source of the plain ones.
SIMD_INLINE(avx512bw) __m512i wide(__m128i table) {  // in every 128-bit lane
  return _mm512_maskz_broadcast_i32x4(0xFFFF, table);
}

SIMD_INLINE(avx512bw)
__m512i pairsAvx512(__m512i c, __m512i* anyBad, bool zeroInvalid) {
  const __m512i low4 = _mm512_set1_epi8(0x0F);
  const __m512i high = _mm512_and_si512(_mm512_srli_epi16(c, 4), low4);
  const __m512i low = _mm512_and_si512(c, low4);
  const __m512i bad = _mm512_and_si512(_mm512_shuffle_epi8(wide(highBadSsse3()), high),
                                       _mm512_shuffle_epi8(wide(lowBadSsse3()), low));
  *anyBad = _mm512_or_si512(*anyBad, bad);
  const __m512i add = _mm512_shuffle_epi8(wide(highAddSsse3()), high);
  const __m512i value = _mm512_maddubs_epi16(_mm512_add_epi8(low, add), _mm512_set1_epi16(0x0110));
  if (!zeroInvalid) return value;
  return _mm512_maskz_mov_epi16(_mm512_testn_epi16_mask(bad, bad), value);
}

SIMD_INLINE(avx512bw)
size_t decodePassAvx512(const char* text, size_t length, __m512i padBytes, uint8_t* out,
                        __m512i* least, __m512i* anyBad, bool zeroInvalid) {
  // Packing works per 128-bit lane: quadwords a0 b0 a1 b1 ...; put them in order.
  const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
  *least = _mm512_set1_epi8(-1), *anyBad = _mm512_setzero_si512();
  size_t i = 0;
  for (; i + 64 <= length; i += 64) {
    const char* in = text + 2 * i;
    const __m512i packed =
        _mm512_packus_epi16(pairsAvx512(_mm512_loadu_si512(in), anyBad, zeroInvalid),
                            pairsAvx512(_mm512_loadu_si512(in + 64), anyBad, zeroInvalid));
    const __m512i bytes =
        _mm512_xor_si512(_mm512_maskz_permutexvar_epi64(0xFF, order, packed), padBytes);
    _mm512_storeu_si512(out + i, bytes);
    *least = _mm512_min_epu8(*least, bytes);
  }
  return i;
}

SIMD_TARGET(avx512bw)
size_t decodeAvx512(const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
                    bool* sawZero, bool* allDigits) {
  const __m512i padBytes = _mm512_set1_epi32(padWord(pad));
  __m512i least, anyBad;
  size_t i = decodePassAvx512(text, length, padBytes, out, &least, &anyBad, false);
  if (_mm512_test_epi8_mask(anyBad, anyBad) != 0)
    i = decodePassAvx512(text, length, padBytes, out, &least, &anyBad, true);
  *sawZero = _mm512_cmpeq_epi8_mask(least, _mm512_setzero_si512()) != 0;
  *allDigits = _mm512_test_epi8_mask(anyBad, anyBad) == 0;
  _mm256_zeroupper();
  return i;
}

// Below this many bytes the wide registers are not worth waking.
constexpr size_t avx512From = 1024;

// The bytes a path handled; the rest go through the tables with the pad in
// phase, as every path works in multiples of 4.
size_t encodeBlocks(Level level, const uint8_t* bytes, size_t length, const uint8_t pad[4],
                    char* out, bool* sawZero) {
  switch (level) {
    case Level::avx512:  // encoding is bound by memory already
    case Level::avx2:
      return encodeAvx2(bytes, length, pad, out, sawZero);
    case Level::ssse3:
      return encodeSsse3(bytes, length, pad, out, sawZero);
    case Level::sse2:
      return encodeSse2(bytes, length, pad, out, sawZero);
    case Level::scalar:
      break;
  }
  return 0;
}

size_t decodeBlocks(Level level, const char* text, size_t length, const uint8_t pad[4],
                    uint8_t* out, bool* sawZero, bool* allDigits) {
  switch (level) {
    case Level::avx512:
      if (length >= avx512From) return decodeAvx512(text, length, pad, out, sawZero, allDigits);
      return decodeAvx2(text, length, pad, out, sawZero, allDigits);
    case Level::avx2:
      return decodeAvx2(text, length, pad, out, sawZero, allDigits);
    case Level::ssse3:
      return decodeSsse3(text, length, pad, out, sawZero, allDigits);
    case Level::sse2:
      return decodeSse2(text, length, pad, out, sawZero, allDigits);
    case Level::scalar:
      break;
  }
  return 0;
}

// Where the first zero byte of length bytes is, or length.
size_t zeroIn(const uint8_t* bytes, size_t length) {
  return text::lengthBeforeZero(reinterpret_cast<const char*>(bytes), length);
}

bool allHexDigits(const char* text, size_t pairs) {
  for (size_t i = 0; i < 2 * pairs; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

std::atomic<int> detectedLevel{-1};

}  // namespace

bool runs(Level level) { return simd::runsFileLevel(level); }

Level bestLevel() {
  return simd::bestOnce(detectedLevel, {Level::avx512, Level::avx2, Level::ssse3, Level::sse2});
}

bool encode(Level level, const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out) {
  bool sawZero = false;
  const size_t done = encodeBlocks(level, bytes, length, pad, out, &sawZero);
  encodeScalar(bytes + done, length - done, pad, out + 2 * done);
  return sawZero || zeroIn(bytes + done, length - done) < length - done;
}

size_t decode(Level level, const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
              bool* allDigits) {
  bool sawZero = false;      // somewhere in the blocks: then look from the start
  bool blockDigits = false;  // the scalar path does not track it
  const size_t done = decodeBlocks(level, text, length, pad, out, &sawZero, &blockDigits);
  decodeScalar(text + 2 * done, length - done, pad, out + done);
  if (allDigits != nullptr)
    *allDigits = blockDigits && allHexDigits(text + 2 * done, length - done);
  const size_t from = sawZero ? 0 : done;
  return from + zeroIn(out + from, length - from);
}

}  // namespace brovane::cipher::hexpath

namespace brovane::cipher {

bool encodeHexXor(const uint8_t* bytes, size_t length, const uint8_t pad[4], char* out) {
  return hexpath::encode(hexpath::bestLevel(), bytes, length, pad, out);
}

size_t decodeHexXor(const char* text, size_t length, const uint8_t pad[4], uint8_t* out,
                    bool* allDigits) {
  return hexpath::decode(hexpath::bestLevel(), text, length, pad, out, allDigits);
}

}  // namespace brovane::cipher
