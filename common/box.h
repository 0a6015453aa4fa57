// box.h: message boxes owned by no window (a line on stderr natively).
#pragma once

namespace zelk {

enum class BoxIcon { none, error };

// text and title are GBK; natively they are written as UTF-8.
void showBox(const char* text, const char* title, BoxIcon icon);

// Test seam: while set, boxes go to the hook instead of the screen.
using BoxHook = void (*)(const char* text, const char* title, BoxIcon icon);
void setBoxHook(BoxHook hook);

namespace sys {
void showSystemBox(const char* text, const char* title, BoxIcon icon);
// The box as the native build shows it, one line on stderr ("[!title] text",
// UTF-8): the test builds' hook (box_line_*.cpp, not in the deliverables).
void writeBoxLine(const char* text, const char* title, BoxIcon icon);
}  // namespace sys

}  // namespace zelk
