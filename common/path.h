// path.h: the directory part of a path.
#pragma once

#include <cstddef>

namespace zelk {

using LeadBytePredicate = bool (*)(unsigned char byte);

// Length of the directory part of path: the bytes before its last separator,
// the search stepping over double-byte characters (whose second byte may equal
// the separator); the whole length when there is no separator.
size_t directoryLength(const char* path, char separator, LeadBytePredicate isLead);

// As above, but a path without a separator has an empty directory part.
size_t directoryLengthOrZero(const char* path, char separator, LeadBytePredicate isLead);

}  // namespace zelk
