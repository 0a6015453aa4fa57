// field_scan.h: the separator search and the field split of the splitting
// exports, in one scan that never builds the field list.
#pragma once

#include <cstddef>
#include <cstring>

namespace brovane::split {

struct Span {  // bytes without a zero byte; the text ends after them
  const char* bytes;
  size_t length;
};

// Walks the fields of text cut at separator, character by character so that
// a separator is never found inside a two-byte GBK character. onField(field)
// is called for each field in order and returns false to stop the walk.
// Returns the number of separators met; 0 means the separator does not occur
// (its field calls then name nothing the exports use).
template <class OnField>
size_t scanFields(Span text, Span separator, OnField onField) {
  if (text.length == 0 || separator.length == 0 || text.length < separator.length) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.bytes);
  const size_t length = text.length;
  const size_t lastStart = length - separator.length;  // last position a separator fits
  const auto first = static_cast<unsigned char>(separator.bytes[0]);
  size_t matches = 0, fieldStart = 0, cursor = 0;
  while (cursor <= lastStart) {
    const unsigned char byte = bytes[cursor];
    if (byte == first &&
        (separator.length == 1 ||
         std::memcmp(bytes + cursor + 1, separator.bytes + 1, separator.length - 1) == 0)) {
      ++matches;
      if (!onField(Span{text.bytes + fieldStart, cursor - fieldStart})) return matches;
      cursor += separator.length;
      fieldStart = cursor;
      continue;
    }
    if (byte >= 0x80 && cursor + 1 == length) break;  // a lead byte without its trail
    cursor += 1 + (byte >> 7);                        // two bytes for a lead byte
  }
  if (fieldStart < length) onField(Span{text.bytes + fieldStart, length - fieldStart});
  return matches;
}

}  // namespace brovane::split
