// tool_fatal.h: the tool's fatal box ("错误", error icon); once it is closed the
// program ends with exit code -1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvex {

inline constexpr int fatalExitCode = -1;

// The box text: the runtime-error line, the error code when there is one,
// then the message; cut to fit capacity, always terminated. No allocation.
size_t composeFatalText(char* buffer, size_t capacity, const int64_t* code, const char* message);

// The allocation message with the byte count in place of %d.
size_t composeAllocationMessage(char* buffer, size_t capacity, size_t bytes);

[[noreturn]] void fatalError(const char* message);
[[noreturn]] void fatalAllocationFailed(size_t bytes);

}  // namespace tarvex
