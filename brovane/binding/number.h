// number.h: Lua numbers to integers without undefined behaviour.
#pragma once

#include <cstdint>

namespace brovane {

// Truncates toward zero to 64 bits; NaN and values outside the 64-bit range
// give 0 (the x86 conversion leaves its "indefinite" value there, whose low
// 32 bits are 0).
inline int64_t truncateToInt64(double value) {
  constexpr double lowest = -9223372036854775808.0;    // -2^63, exact
  constexpr double beyond = 9223372036854775808.0;     // 2^63, first value out
  if (!(value >= lowest && value < beyond)) return 0;  // NaN fails both
  return static_cast<int64_t>(value);
}

// The low 32 bits of the 64-bit truncation, as a signed value.
inline int32_t truncateToInt32(double value) {
  return static_cast<int32_t>(static_cast<uint32_t>(truncateToInt64(value)));
}

}  // namespace brovane
