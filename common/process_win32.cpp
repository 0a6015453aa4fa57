// process_win32.cpp: ExitProcess, GetModuleFileNameA and the ANSI code page.
#include <windows.h>

#include "process.h"

namespace zelk::sys {

void exitProcess(int code) { ExitProcess(static_cast<UINT>(code)); }

void parkForever() {
  for (;;) Sleep(INFINITE);
}

unsigned long currentThreadId() { return GetCurrentThreadId(); }

bool mainProgramPath(char* buffer, size_t size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  const DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  buffer[size - 1] = '\0';  // XP leaves a cut path unterminated
  return length != 0;
}

char pathSeparator() { return '\\'; }

bool isLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte); }

}  // namespace zelk::sys
