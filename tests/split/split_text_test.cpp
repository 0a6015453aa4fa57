// split_text_test.cpp: the one-scan splitting rules against a direct model
// of the separator search and the field split (field list built), on random
// texts over an alphabet rich in GBK lead and trail bytes.
#include "split/split_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "gbk_walk.h"

namespace {

using brovane::split::Span;

// The separator search, position by position.
bool modelOccurs(const std::string& text, const std::string& separator) {
  if (text.empty() || separator.empty() || text.size() < separator.size()) return false;
  for (size_t at = 0; at <= text.size() - separator.size();) {
    if (text.compare(at, separator.size(), separator) == 0) return true;
    at += static_cast<unsigned char>(text[at]) >= 0x80 ? 2 : 1;
  }
  return false;
}

// The field split, building the list.
std::vector<std::string> modelFields(const std::string& text, const std::string& separator) {
  if (text.empty()) return {};
  if (separator.empty()) return {text};
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t at : walkPositions(text, separator)) {
    fields.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  if (start < text.size()) fields.push_back(text.substr(start));
  return fields;
}

// E_分割文本's steps 5 to 8 on the model; "<false>" for false.
std::string modelPick(const std::string& text, const std::string& separator, double number) {
  const std::vector<std::string> fields = modelFields(text, separator);
  if (number - 1 < -0.0000001) return "<false>";
  if (!modelOccurs(text, separator)) return "<false>";
  if (number - static_cast<double>(fields.size()) > 0.0000001) return "<false>";
  const auto m = static_cast<size_t>(number);
  if (m == 0) return "<false>";  // [1 - 1e-7, 1): no field
  return fields[m - 1];
}

Span spanOf(const std::string& s) { return Span{s.data(), s.size()}; }

std::string randomText(std::mt19937& random, size_t maxLength) {
  static const char alphabet[] = {',', 'a', '|', '\x81', '\xA3', '\xAC', '\x7C', 'b'};
  std::uniform_int_distribution<size_t> length(0, maxLength), pick(0, sizeof alphabet - 1);
  std::string text(length(random), ' ');
  for (char& c : text) c = alphabet[pick(random)];
  return text;
}

TEST(SplitText, OneScanAgreesWithTheFieldList) {
  std::mt19937 random(20261208);
  const double offsets[] = {0, 0.5, 0.9, 0.00000005, 0.0000002, -0.00000005, -0.0000002};
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(random, round % 40 == 0 ? 300 : 24);  // some cross blocks
    std::string separator = randomText(random, 3);
    const std::vector<std::string> fields = modelFields(text, separator);
    const bool occurs = modelOccurs(text, separator);
    ASSERT_EQ(brovane::split::separatorOccurs(spanOf(text), spanOf(separator)), occurs);
    ASSERT_EQ(brovane::split::countFields(spanOf(text), spanOf(separator)),
              occurs ? fields.size() : 0u)
        << round;
    for (int whole = -1; whole <= static_cast<int>(fields.size()) + 2; ++whole) {
      for (double offset : offsets) {
        const double number = whole + offset;
        Span field{};
        const bool picked =
            brovane::split::pickField(spanOf(text), spanOf(separator), number, &field);
        const std::string got = picked ? std::string(field.bytes, field.length) : "<false>";
        ASSERT_EQ(got, modelPick(text, separator, number)) << round << " number " << number;
      }
    }
  }
}

TEST(SplitText, FieldNumberFromText) {
  const struct {
    const char* text;
    double number;
  } cases[] = {
      {nullptr, 0},
      {"", 0},
      {"2", 2},
      {" \t\n\v\f\r2.5", 2.5},
      {"+3", 3},
      {"-1.25e1x", -12.5},
      {".5", 0.5},
      {"5.", 5},
      {"1e", 1},
      {"1e+", 1},
      {"1E2", 100},
      {"0x10", 0},
      {"inf", 0},
      {"-nan", 0},
      {"infinity", 0},
      {"1e999", 0},
      {"-1e999", 0},
      {"1e-999", 0},
      {"\xA3\xB2", 2},                             // full-width 2
      {"\xA3\xAD\xA3\xB1\xA3\xAE\xA3\xB5", -1.5},  // full-width -1.5
      {"\xA3\xB1\xA3\xC5\xA3\xB2", 100},           // full-width 1E2
      {"\xA3\xB1\xA3\xE5\xA3\xB2", 100},           // full-width 1e2
      {"\xA1\xA1"
       "2",
       0},                  // full-width space is no space
      {"3\xA3", 3},         // a lone lead byte at the end
      {"\xB0\xA3\xB2", 0},  // A3 here is a trail byte
      {"0.1", 0.1},
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(brovane::split::fieldNumber(c.text), c.number) << (c.text ? c.text : "(null)");
}

// Lua's text form of a number.
std::string luaText(double number) {
  char text[64];
  std::snprintf(text, sizeof text, "%.14g", number);
  return text;
}

// A number taken as it is must be exactly what its text form reads as.
void expectReadsBackExactly(double number) {
  if (!brovane::split::readsBackExactly(number)) return;
  const std::string text = luaText(number);
  ASSERT_EQ(brovane::split::fieldNumber(text.c_str()), number) << text;
}

TEST(SplitText, NumbersTakenAsTheyAreReadBackFromTheirText) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const struct {
    double number;
    bool taken;  // whether it may skip the text form
  } cases[] = {
      {0, true},
      {-0.0, true},
      {1, true},
      {7, true},
      {-3, true},
      {99999999999999, true},  // 14 digits: printed in full
      {-99999999999999, true},
      {1e14, false},             // 15 digits: %.14g prints 1e+14
      {123456789012345, false},  // printed as 1.2345678901234e+14
      {9007199254740993.0, false},
      {1e300, false},
      {2.5, false},
      {2.9999999999999996, false},  // prints as 3
      {3.000000000000001, false},   // prints as 3
      {1 - 0.00000005, false},
      {3.0000001, false},
      {nan, false},
      {infinity, false},
      {-infinity, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(brovane::split::readsBackExactly(c.number), c.taken) << luaText(c.number);
    expectReadsBackExactly(c.number);
  }
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<int> digits(0, 17);
  std::uniform_real_distribution<double> unit(-1, 1);
  for (int round = 0; round < 200000; ++round) {
    const double scale = std::pow(10.0, digits(random));
    const double number = unit(random) * scale;
    expectReadsBackExactly(number);
    expectReadsBackExactly(std::trunc(number));
    expectReadsBackExactly(std::nextafter(std::trunc(number), infinity));
  }
}

}  // namespace
