// simd_level.h: the processor levels the vector paths are written for:
// whether this processor runs a level, and the attributes that compile a
// function for one. The only place that asks the processor what it has.
#pragma once

#include <atomic>
#include <cstddef>

namespace brovane::simd {

// Each level includes the ones below it; avx2 includes POPCNT and avx512bw
// AVX-512F, as every processor with the named instructions has them.
enum class Level { scalar, sse2, ssse3, avx2, avx512bw };

// Whether this processor has every instruction of the level.
inline bool runs(Level level) {
  __builtin_cpu_init();  // may run before the library's constructors
  switch (level) {
    case Level::avx512bw:
      if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw")) return false;
      [[fallthrough]];
    case Level::avx2:
      if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("popcnt")) return false;
      [[fallthrough]];
    case Level::ssse3:
      if (!__builtin_cpu_supports("ssse3")) return false;
      [[fallthrough]];
    case Level::sse2:
      return __builtin_cpu_supports("sse2");
    case Level::scalar:
      break;
  }
  return true;
}

// A file's own list of levels names each by the value of the Level whose
// instructions it needs (scalar among them).
template <typename FileLevel>
bool runsFileLevel(FileLevel level) {
  return runs(static_cast<Level>(static_cast<int>(level)));
}

// The first of a file's levels, best first, that this processor runs, else
// scalar; detected once per load, and threads that race detect the same
// level. Not a function-local static: its guard would bring in the C++
// runtime's lock.
template <typename FileLevel, size_t count>
FileLevel bestOnce(std::atomic<int>& cache, const FileLevel (&bestFirst)[count]) {
  int level = cache.load(std::memory_order_relaxed);
  if (level >= 0) return static_cast<FileLevel>(level);
  FileLevel best = FileLevel::scalar;
  for (FileLevel candidate : bestFirst)
    if (runsFileLevel(candidate)) {
      best = candidate;
      break;
    }
  cache.store(static_cast<int>(best), std::memory_order_relaxed);
  return best;
}

}  // namespace brovane::simd

// Each level's instructions as GCC's target attribute names them.
#define SIMD_ISA_sse2 "sse2"
#define SIMD_ISA_ssse3 "sse2,ssse3"
#define SIMD_ISA_avx2 "sse2,ssse3,avx2,popcnt"
#define SIMD_ISA_avx512bw "sse2,ssse3,avx2,popcnt,avx512f,avx512bw"

// A function compiled for a level (SIMD_TARGET(avx2)), only to be called
// where simd::runs says the level runs. It aligns its own stack: a 32-bit
// host may call us with a 4-byte aligned stack.
#define SIMD_TARGET(level) __attribute__((target(SIMD_ISA_##level), force_align_arg_pointer))
// A helper inlined into the functions of its level or a higher one.
#define SIMD_INLINE(level) static inline __attribute__((target(SIMD_ISA_##level), always_inline))
