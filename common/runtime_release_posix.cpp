// runtime_release_posix.cpp: the shared C++ runtime is the process's.
#include "runtime_release.h"

namespace zelk::sys {

void releaseRuntimeReserves() {}

}  // namespace zelk::sys
