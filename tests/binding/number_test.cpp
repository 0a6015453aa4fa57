// number_test.cpp: Lua number to integer conversion.
#include "binding/number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Case {
  double value;
  int32_t expected;
};

TEST(TruncateToInt32, TruncatesTowardZeroAndKeepsLow32Bits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {0.0, 0},
      {-0.0, 0},
      {2.9, 2},
      {-2.9, -2},
      {0.9999999, 0},
      {2147483647.0, 2147483647},
      {2147483648.0, INT32_MIN},       // wraps: low 32 bits of 2^31
      {4294967295.0, -1},              // 2^32 - 1
      {4294967296.0 + 5.5, 5},         // 2^32 + 5
      {-2147483649.0, 2147483647},     // low 32 bits of -2^31 - 1
      {9223372036854774784.0, -1024},  // largest double below 2^63 = 2^63 - 1024
      {-9223372036854775808.0, 0},     // -2^63, in range, low bits 0
      {9223372036854775808.0, 0},      // 2^63, out of range
      {-9223372036854777856.0, 0},     // below -2^63
      {1e300, 0},
      {-1e300, 0},
      {inf, 0},
      {-inf, 0},
      {nan, 0},
      {std::ldexp(1.0, 62) + 7.0 * 4096, 7 * 4096},  // exact large value keeps low bits
  };
  for (const Case& c : cases) EXPECT_EQ(brovane::truncateToInt32(c.value), c.expected) << c.value;
}

TEST(TruncateToInt64, RangeEdges) {
  EXPECT_EQ(brovane::truncateToInt64(-9223372036854775808.0), INT64_MIN);
  EXPECT_EQ(brovane::truncateToInt64(9223372036854774784.0), 9223372036854774784LL);
  EXPECT_EQ(brovane::truncateToInt64(-1.5), -1);
}

}  // namespace
