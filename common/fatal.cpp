// fatal.cpp: out-of-memory and internal-error ends of a library.
#include "fatal.h"

#include <atomic>
#include <cstdio>

#include "box.h"
#include "process.h"

namespace zelk {

static std::atomic<UnloadRoutine> unloadRoutine{nullptr};
static std::atomic<unsigned long> endingThread{0};  // the thread that shows the box

void setUnloadRoutine(UnloadRoutine routine) { unloadRoutine = routine; }

// One thread ends the process, with one box: a second failure on another
// thread waits for that end; one inside the unload routine ends at once.
static void claimTheEnd() {
  const unsigned long self = sys::currentThreadId();
  unsigned long none = 0;
  if (endingThread.compare_exchange_strong(none, self)) return;
  if (none != self) sys::parkForever();
  sys::exitProcess(0);
}

[[noreturn]] static void endAfterBox() {
  UnloadRoutine routine = unloadRoutine.exchange(nullptr);
  if (routine) routine();
  sys::exitProcess(0);
}

void fatalOutOfMemory() {
  claimTheEnd();
  showBox("\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3", "error", BoxIcon::error);  // 内存不足
  endAfterBox();
}

void fatalInternalError(int number, uint32_t word) {
  claimTheEnd();
  char text[96];
  std::snprintf(text, sizeof text, "program internal error number is %d. (0x%Xh)", number,
                static_cast<unsigned>(word));
  showBox(text, "error", BoxIcon::error);
  endAfterBox();
}

}  // namespace zelk
