// field_scan.h: the separator search and the field split of the splitting
// exports, in one scan that never builds the field list.
#pragma once

#include <cstddef>
#include <cstring>

#include "text/byte_scan.h"

namespace brovane::split {

struct Span {  // bytes without a zero byte; the text ends after them
  const char* bytes;
  size_t length;
};

// Whether position of bytes is a character boundary, given an earlier one:
// characters are one byte below 0x80 and two bytes from a byte of 0x80 or
// more. The byte before position ends a character unless it is the first of
// a pair, so only the run of high bytes just before position counts: an
// even run ends on a boundary.
inline bool atBoundary(const unsigned char* bytes, size_t boundary, size_t position) {
  size_t run = 0;
  while (position - run > boundary && bytes[position - run - 1] >= 0x80) ++run;
  return run % 2 == 0;
}

// Walks the fields of text cut at separator, found only at character
// boundaries so that it is never matched inside a two-byte GBK character.
// onField(field) is called for each field in order and returns false to
// stop. Returns the number of separators met; 0 means the separator does not
// occur. Our byte scan finds the candidates; the boundary test looks back only to
// the last position known to be a boundary, so the whole walk is linear.
template <class OnField>
size_t scanFields(Span text, Span separator, OnField onField) {
  if (text.length == 0 || separator.length == 0 || text.length < separator.length) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.bytes);
  const size_t lastStart = text.length - separator.length;  // last position a separator fits
  const unsigned char first = static_cast<unsigned char>(separator.bytes[0]);
  size_t matches = 0, fieldStart = 0, boundary = 0, from = 0;
  while (from <= lastStart) {
    const size_t at =
        from + brovane::text::findByte(text.bytes + from, lastStart - from + 1, first);
    if (at > lastStart) break;
    if (!atBoundary(bytes, boundary, at)) {  // the trail byte of a pair
      boundary = from = at + 1;
      continue;
    }
    boundary = at;
    if (separator.length > 1 &&
        std::memcmp(bytes + at + 1, separator.bytes + 1, separator.length - 1) != 0) {
      from = at + 1;
      continue;
    }
    ++matches;
    if (!onField(Span{text.bytes + fieldStart, at - fieldStart})) return matches;
    fieldStart = boundary = from = at + separator.length;
  }
  if (fieldStart < text.length) onField(Span{text.bytes + fieldStart, text.length - fieldStart});
  return matches;
}

}  // namespace brovane::split
