// fatal.cpp: out-of-memory and internal-error ends of a library.
#include "fatal.h"

#include <atomic>

#include "box.h"
#include "process.h"

namespace zelk {

static std::atomic<UnloadRoutine> unloadRoutine{nullptr};
static std::atomic<unsigned long> endingThread{0};  // the thread that shows the box

UnloadRoutine setUnloadRoutine(UnloadRoutine routine) { return unloadRoutine.exchange(routine); }

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

// The digits of value in base (10 or 16, upper case) at out; past them.
// Written here rather than by snprintf, whose C99 version would bring
// mingw's whole formatter into each library for this one box.
static char* appendDigits(char* out, uint32_t value, uint32_t base) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

static char* appendText(char* out, const char* text) {
  while (*text != '\0') *out++ = *text++;
  return out;
}

void fatalInternalError(int number, uint32_t word) {
  claimTheEnd();
  char text[96];  // "program internal error number is %d. (0x%Xh)"
  char* end = appendText(text, "program internal error number is ");
  if (number < 0) *end++ = '-';
  const auto magnitude = static_cast<uint32_t>(number);
  end = appendDigits(end, number < 0 ? 0u - magnitude : magnitude, 10);
  end = appendText(end, ". (0x");
  end = appendDigits(end, word, 16);
  end = appendText(end, "h)");
  *end = '\0';
  showBox(text, "error", BoxIcon::error);
  endAfterBox();
}

}  // namespace zelk
