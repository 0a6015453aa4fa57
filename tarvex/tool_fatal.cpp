// tool_fatal.cpp: the tool's fatal box, composed in fixed buffers because it
// also reports a failed allocation.
#include "tool_fatal.h"

#include <charconv>
#include <cstring>

#include "box.h"
#include "process.h"
#include "texts.h"

namespace tarvex {

namespace {

// Appends to a fixed buffer, dropping what does not fit.
struct Writer {
  char* buffer;
  size_t capacity;
  size_t length = 0;

  void add(const char* bytes, size_t count) {
    const size_t room = capacity - 1 - length;
    const size_t taken = count < room ? count : room;
    std::memcpy(buffer + length, bytes, taken);
    length += taken;
    buffer[length] = '\0';
  }
  void add(const char* text) { add(text, std::strlen(text)); }
  template <class Integer>
  void addDecimal(Integer value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    add(digits, static_cast<size_t>(result.ptr - digits));
  }
};

}  // namespace

size_t composeFatalText(char* buffer, size_t capacity, const int64_t* code, const char* message) {
  if (capacity == 0) return 0;
  Writer out{buffer, capacity};
  buffer[0] = '\0';
  out.add(texts::runtimeError);
  out.add("\r\n\r\n");
  if (code) {
    out.add(texts::errorCode);
    out.addDecimal(*code);
    out.add("\r\n\r\n");
  }
  out.add(texts::errorMessage);
  out.add(message ? message : "");
  out.add("\r\n");
  return out.length;
}

size_t composeAllocationMessage(char* buffer, size_t capacity, size_t bytes) {
  if (capacity == 0) return 0;
  Writer out{buffer, capacity};
  buffer[0] = '\0';
  const char* pattern = texts::allocationFailed;
  const char* mark = std::strstr(pattern, "%d");
  out.add(pattern, static_cast<size_t>(mark - pattern));
  out.addDecimal(bytes);  // the true count, never wrapped to a negative int
  out.add(mark + 2);
  return out.length;
}

void fatalError(const char* message) {
  char text[512];
  composeFatalText(text, sizeof text, nullptr, message);
  zelk::showBox(text, texts::errorTitle, zelk::BoxIcon::error);
  zelk::sys::exitProcess(fatalExitCode);
}

void fatalAllocationFailed(size_t bytes) {
  char message[128];
  composeAllocationMessage(message, sizeof message, bytes);
  fatalError(message);
}

}  // namespace tarvex
