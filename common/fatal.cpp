// fatal.cpp: out-of-memory and internal-error ends of a library.
#include "fatal.h"

#include <cstdio>

#include "box.h"
#include "process.h"

namespace zelk {

static UnloadRoutine unloadRoutine = nullptr;

void setUnloadRoutine(UnloadRoutine routine) { unloadRoutine = routine; }

[[noreturn]] static void endAfterBox() {
  UnloadRoutine routine = unloadRoutine;
  unloadRoutine = nullptr;  // a failure inside unload must not loop
  if (routine) routine();
  sys::exitProcess(0);
}

void fatalOutOfMemory() {
  showBox("\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3", "error", BoxIcon::error);  // 内存不足
  endAfterBox();
}

void fatalInternalError(int number, uint32_t word) {
  char text[96];
  std::snprintf(text, sizeof text, "program internal error number is %d. (0x%Xh)", number,
                static_cast<unsigned>(word));
  showBox(text, "error", BoxIcon::error);
  endAfterBox();
}

}  // namespace zelk
