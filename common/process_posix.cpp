// process_posix.cpp: _exit, /proc/self/exe and GBK lead bytes on Linux.
#include <unistd.h>

#include "process.h"

namespace zelk::sys {

void exitProcess(int code) { _exit(code); }

void parkForever() {
  for (;;) pause();
}

unsigned long currentThreadId() { return static_cast<unsigned long>(gettid()); }

bool mainProgramPath(char* buffer, size_t size) {
  if (size == 0) return false;
  const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
  buffer[length > 0 ? length : 0] = '\0';
  return length > 0;
}

char pathSeparator() { return '/'; }

bool isLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace zelk::sys
