// box_line_win32.cpp: a box as the native line on stderr, GBK turned into
// UTF-8 through the system's conversions. No heap: it runs when memory is out.
#include <windows.h>

#include "box.h"

namespace zelk::sys {

namespace {

// Appends the GBK text as UTF-8 at out + used; the new length.
int appendUtf8(char* out, int used, int room, const char* gbk) {
  wchar_t wide[256];
  const int wideLength = MultiByteToWideChar(936, 0, gbk ? gbk : "", -1, wide, 256);
  if (wideLength <= 1 || used >= room) return used;  // nothing to show, or no room
  const int written = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength - 1, out + used, room - used,
                                          nullptr, nullptr);
  return used + written;  // 0 written when it does not fit
}

int appendAscii(char* out, int used, int room, const char* ascii) {
  while (*ascii != '\0' && used < room) out[used++] = *ascii++;
  return used;
}

}  // namespace

void writeBoxLine(const char* text, const char* title, BoxIcon icon) {
  char line[1024];
  const int room = static_cast<int>(sizeof line) - 1;
  int used = appendAscii(line, 0, room, icon == BoxIcon::error ? "[!" : "[");
  used = appendUtf8(line, used, room, title);
  used = appendAscii(line, used, room, "] ");
  used = appendUtf8(line, used, room, text);
  line[used++] = '\n';
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(used), &written, nullptr);
}

}  // namespace zelk::sys
