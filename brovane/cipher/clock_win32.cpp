// clock_win32.cpp: the tick count from GetTickCount.
#include <windows.h>

#include "cipher/clock.h"

namespace brovane::cipher::sys {

uint32_t tickCount() { return GetTickCount(); }

}  // namespace brovane::cipher::sys
