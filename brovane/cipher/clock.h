// clock.h: the millisecond tick count that salts each encryption.
#pragma once

#include <cstdint>

namespace brovane::cipher::sys {

uint32_t tickCount();  // milliseconds since an arbitrary start, wrapping

}  // namespace brovane::cipher::sys
