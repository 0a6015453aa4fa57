// fatal.h: the fatal boxes of the two libraries; after the box the library's
// unload routine runs and the process ends with exit code 0.
#pragma once

#include <cstdint>

namespace zelk {

// Internal-check numbers shown in the internal-error box.
enum InternalError : int {
  errorIndexPastLast = 1,
  errorUnconvertibleValue = 2,
  errorIndexBelowFirst = 4,
  errorStackImbalance = 6,
  errorNegativeCount = 10,
  errorBadTypeCode = 100,
};

using UnloadRoutine = void (*)();
UnloadRoutine setUnloadRoutine(UnloadRoutine routine);  // returns the one it replaces

[[noreturn]] void fatalOutOfMemory();
[[noreturn]] void fatalInternalError(int number, uint32_t word);

}  // namespace zelk
