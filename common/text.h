// text.h: owned texts and byte strings on the process heap.
//
// A text is a zero-terminated byte string (GBK on the machines served); a
// missing text (null) counts as the empty text everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "heap.h"

namespace zelk {

using Text = std::unique_ptr<char, HeapDeleter>;

// A length-counted run of bytes that may hold zero bytes; empty may be null.
struct Bytes {
  std::unique_ptr<uint8_t, HeapDeleter> data;
  size_t length = 0;
};

inline const char* orEmpty(const char* text) { return text ? text : ""; }
size_t textLength(const char* text);  // 0 for a missing text

Text copyText(const char* text);                       // null stays null
Text copyTextBytes(const char* bytes, size_t length);  // exactly length bytes + terminator
Text joinTexts(std::initializer_list<const char*> parts);

// The bytes before the first zero byte, as a text; missing when none remain.
Text textFromBytes(const void* bytes, size_t length);

Bytes copyBytes(const void* bytes, size_t length);  // length 0 gives an empty, null run

}  // namespace zelk
