// box.cpp: message boxes, with the seam that tests capture them through.
#include "box.h"

namespace zelk {

static BoxHook boxHook = nullptr;

void setBoxHook(BoxHook hook) { boxHook = hook; }

void showBox(const char* text, const char* title, BoxIcon icon) {
  if (boxHook) return boxHook(text, title, icon);
  sys::showSystemBox(text, title, icon);
}

}  // namespace zelk
