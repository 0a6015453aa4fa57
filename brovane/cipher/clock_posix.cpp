// clock_posix.cpp: the tick count from the coarse monotonic clock: read
// without a clock-source access (a tenth of the fine clock's cost), and
// stepping every few milliseconds, finer than GetTickCount's 10-16 ms.
#include <time.h>

#include "cipher/clock.h"

namespace brovane::cipher::sys {

uint32_t tickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}

}  // namespace brovane::cipher::sys
