// text.cpp: owned texts and byte strings on the process heap.
#include "text.h"

#include <cstring>

namespace zelk {

size_t textLength(const char* text) { return text ? std::strlen(text) : 0; }

Text copyTextBytes(const char* bytes, size_t length) {
  Text copy(static_cast<char*>(heapAlloc(length + 1)));  // zero-filled: terminated
  if (length) std::memcpy(copy.get(), bytes, length);
  return copy;
}

Text copyText(const char* text) {
  if (text == nullptr) return nullptr;
  return copyTextBytes(text, std::strlen(text));
}

Text joinTexts(std::initializer_list<const char*> parts) {
  size_t total = 0;
  for (const char* part : parts) total += textLength(part);
  Text joined(static_cast<char*>(heapAlloc(total + 1)));
  char* out = joined.get();
  for (const char* part : parts) {
    const size_t length = textLength(part);
    if (length) std::memcpy(out, part, length);
    out += length;
  }
  return joined;
}

Text textFromBytes(const void* bytes, size_t length) {
  if (bytes == nullptr || length == 0) return nullptr;
  const void* zero = std::memchr(bytes, 0, length);
  const size_t kept =
      zero ? static_cast<size_t>(static_cast<const char*>(zero) - static_cast<const char*>(bytes))
           : length;
  if (kept == 0) return nullptr;
  return copyTextBytes(static_cast<const char*>(bytes), kept);
}

Bytes copyBytes(const void* bytes, size_t length) {
  Bytes copy;
  if (length == 0) return copy;
  copy.data.reset(static_cast<uint8_t*>(heapAlloc(length)));
  std::memcpy(copy.data.get(), bytes, length);
  copy.length = length;
  return copy;
}

}  // namespace zelk
