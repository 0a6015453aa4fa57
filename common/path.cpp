// path.cpp: the directory part of a path, double-byte aware.
#include "path.h"

namespace zelk {

static const char* lastSeparator(const char* path, char separator, LeadBytePredicate isLead) {
  const char* found = nullptr;
  for (const char* p = path; *p; ++p) {
    if (*p == separator) {
      found = p;
    } else if (isLead(static_cast<unsigned char>(*p)) && p[1] != '\0') {
      ++p;  // the trail byte is part of the character
    }
  }
  return found;
}

size_t directoryLength(const char* path, char separator, LeadBytePredicate isLead) {
  if (path == nullptr) return 0;
  const char* found = lastSeparator(path, separator, isLead);
  size_t length = 0;
  while (path[length]) ++length;
  return found ? static_cast<size_t>(found - path) : length;
}

size_t directoryLengthOrZero(const char* path, char separator, LeadBytePredicate isLead) {
  if (path == nullptr) return 0;
  const char* found = lastSeparator(path, separator, isLead);
  return found ? static_cast<size_t>(found - path) : 0;
}

}  // namespace zelk
