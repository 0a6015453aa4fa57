// clock_posix.cpp: the tick count from the monotonic clock.
#include <time.h>

#include "cipher/clock.h"

namespace brovane::cipher::sys {

uint32_t tickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}

}  // namespace brovane::cipher::sys
