// split_text.cpp: member count, field pick and the field-number rule.
#include "split/split_text.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "split/field_blocks.h"
#include "text.h"

namespace brovane::split {

namespace {

constexpr double tolerance = 0.0000001;

// The full-width GBK form (lead byte A3) of an ASCII digit, letter, minus or
// full stop, as its ASCII byte; 0 for any other trail byte.
char asciiOfFullWidth(unsigned char trail) {
  if (trail >= 0xB0 && trail <= 0xB9) return static_cast<char>('0' + (trail - 0xB0));
  if (trail >= 0xC1 && trail <= 0xDA) return static_cast<char>('A' + (trail - 0xC1));
  if (trail >= 0xE1 && trail <= 0xFA) return static_cast<char>('a' + (trail - 0xE1));
  if (trail == 0xAD) return '-';
  if (trail == 0xAE) return '.';
  return 0;
}

// Copies text with its full-width forms turned into ASCII; other characters,
// of one byte or two, stay as they are.
zelk::Text withAsciiForms(const char* text) {
  const size_t length = zelk::textLength(text);
  zelk::Text out(static_cast<char*>(zelk::heapAlloc(length + 1)));
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  char* write = out.get();
  for (size_t i = 0; i < length;) {
    const unsigned char byte = in[i];
    if (byte < 0x80 || i + 1 == length) {
      *write++ = static_cast<char>(byte), ++i;
      continue;
    }
    const char ascii = byte == 0xA3 ? asciiOfFullWidth(in[i + 1]) : 0;
    if (ascii) {
      *write++ = ascii;
    } else {
      *write++ = static_cast<char>(byte);
      *write++ = static_cast<char>(in[i + 1]);
    }
    i += 2;
  }
  return out;
}

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
const char* skipDigits(const char* p) {
  while (isDigit(*p)) ++p;
  return p;
}

// Reads a decimal number from the start of text: white space, sign, digits,
// fraction, exponent. from_chars rounds exactly and ignores the locale; the
// form is checked here first because it would also take "inf" and "nan".
double parseDecimal(const char* text) {
  const char* p = text;
  while (isSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* mantissa = p;
  p = skipDigits(p);
  bool anyDigit = p != mantissa;
  if (*p == '.') {
    const char* fraction = ++p;
    p = skipDigits(p);
    anyDigit = anyDigit || p != fraction;
  }
  if (!anyDigit) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* exponent = p + 1;
    if (*exponent == '+' || *exponent == '-') ++exponent;
    if (isDigit(*exponent)) p = skipDigits(exponent);
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(mantissa, p, value, std::chars_format::general);
  // Out of range: strtod's infinity or zero; either names no field, and 0
  // names none either.
  if (error != std::errc() || end != p) return 0.0;
  return negative ? -value : value;
}

}  // namespace

double fieldNumber(const char* text) {
  if (zelk::textLength(text) == 0) return 0.0;
  // Full-width forms all begin with A3; without one the text reads as it is.
  if (std::strchr(text, '\xA3') == nullptr) return parseDecimal(text);
  return parseDecimal(withAsciiForms(text).get());
}

bool readsBackExactly(double number) {
  if (!(number > -1e14 && number < 1e14)) return false;  // NaN too
  return number == static_cast<double>(static_cast<int64_t>(number));
}

// Separators of whole characters (nearly all) go a block at a time; one that
// ends in a lone lead byte restarts the character stepping after each match,
// which the character-by-character walk does.

bool separatorOccurs(Span text, Span separator) {
  if (!wholeCharacters(separator))
    return scanFields(text, separator, [](Span) { return false; }) != 0;
  size_t at;
  return MatchCursor(text, separator).next(&at);
}

size_t countFields(Span text, Span separator) {
  if (!wholeCharacters(separator)) {
    size_t fields = 0;
    const size_t matches = scanFields(text, separator, [&fields](Span) { return ++fields, true; });
    return matches == 0 ? 0 : fields;
  }
  MatchCursor separators(text, separator);
  const uint64_t matches = separators.skip(UINT64_MAX);
  if (matches == 0) return 0;
  return static_cast<size_t>(matches) + (separators.end() < text.length);  // a last field
}

namespace {

bool pickFieldByWalk(Span text, Span separator, double number, uint64_t wanted, Span* field) {
  uint64_t seen = 0;
  bool found = false;
  const size_t matches = scanFields(text, separator, [&](Span current) {
    if (++seen == wanted) *field = current, found = true;
    return !(seen >= wanted && number - static_cast<double>(seen) <= tolerance);
  });
  if (matches == 0) return false;                                    // separator absent
  if (number - static_cast<double>(seen) > tolerance) return false;  // above the count
  return found;
}

// Field `wanted` lies between separators wanted - 1 and wanted (or the text's
// ends); it exists when text remains after separator wanted - 1. When number
// lies above wanted by more than the tolerance, field wanted + 1 must exist too.
bool pickFieldByBlocks(Span text, Span separator, double number, uint64_t wanted, Span* field) {
  MatchCursor separators(text, separator);
  size_t start = 0, at = 0;
  if (wanted >= 2) {
    if (separators.skip(wanted - 1) < wanted - 1) return false;
    start = separators.end();
    if (start >= text.length) return false;  // the text ends with separator wanted - 1
  }
  const bool closed = separators.next(&at);
  if (wanted == 1 && !closed) return false;  // separator absent
  const size_t end = closed ? at : text.length;
  if (number - static_cast<double>(wanted) > tolerance &&
      !(closed && separators.end() < text.length))
    return false;  // above the count
  *field = Span{text.bytes + start, end - start};
  return true;
}

}  // namespace

bool pickField(Span text, Span separator, double number, Span* field) {
  if (!(number - 1.0 >= -tolerance)) return false;  // below 1 (or NaN)
  const uint64_t wanted =
      number < 18446744073709551616.0 ? static_cast<uint64_t>(number) : UINT64_MAX;
  if (wanted == 0) return false;  // [1 - tolerance, 1) truncates to 0: no field
  return wholeCharacters(separator) ? pickFieldByBlocks(text, separator, number, wanted, field)
                                    : pickFieldByWalk(text, separator, number, wanted, field);
}

}  // namespace brovane::split
