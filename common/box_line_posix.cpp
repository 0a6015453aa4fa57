// box_line_posix.cpp: natively a box is that line already.
#include "box.h"

namespace zelk::sys {

void writeBoxLine(const char* text, const char* title, BoxIcon icon) {
  showSystemBox(text, title, icon);
}

}  // namespace zelk::sys
