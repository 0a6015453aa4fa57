// protection_posix.cpp: the mapping's permissions from /proc/self/maps.
#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "protection.h"

namespace nettest {

bool isExecutable(const void* address) {
  const auto wanted = reinterpret_cast<uintptr_t>(address);
  FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) return true;  // cannot tell: count it against the record
  uintptr_t start = 0, end = 0;
  char permissions[8] = {};
  bool executable = true;
  while (std::fscanf(maps, "%" SCNxPTR "-%" SCNxPTR " %7s%*[^\n]", &start, &end, permissions) ==
         3) {
    if (wanted >= start && wanted < end) {
      executable = permissions[2] == 'x';
      break;
    }
  }
  std::fclose(maps);
  return executable;
}

}  // namespace nettest
