// processor_id_test.cpp: the identifier's format (wsprintfA on Windows) and
// the CPUID values behind it.
#include "machine/processor_id.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(MachineCode, FormatsFourGroupsOfEightUppercaseDigits) {
  const struct {
    uint32_t values[4];
    const char* text;
  } cases[] = {
      {{0x1, 0xABCDEF, 0, 0xFFFFFFFF}, "00000001-00ABCDEF-00000000-FFFFFFFF"},
      {{0x178BFBFF, 0x00B00F21, 0, 0}, "178BFBFF-00B00F21-00000000-00000000"},
      {{0x80000000, 0x7FFFFFFF, 0x10, 0xDEADBEEF}, "80000000-7FFFFFFF-00000010-DEADBEEF"},
  };
  for (const auto& c : cases) {
    char text[36];
    std::memset(text, 'x', sizeof text);
    brovane::machine::formatMachineCode(c.values, text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(MachineCode, ProcessorValuesAreStable) {
  uint32_t first[4], second[4];
  brovane::machine::readProcessorId(first);
  brovane::machine::readProcessorId(second);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(first[i], second[i]) << i;
  EXPECT_NE(first[1], 0u);  // leaf 1 EAX: the processor signature
}

}  // namespace
