// box_win32.cpp: MessageBoxA, owned by no window.
#include <windows.h>

#include "box.h"

namespace zelk::sys {

void showSystemBox(const char* text, const char* title, BoxIcon icon) {
  const UINT style = MB_OK | (icon == BoxIcon::error ? MB_ICONERROR : 0);
  MessageBoxA(nullptr, text, title, style);
}

}  // namespace zelk::sys
