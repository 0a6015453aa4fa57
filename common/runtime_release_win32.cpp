// runtime_release_win32.cpp: frees the statically linked C++ runtime's
// exception arena.
#include "runtime_release.h"

// libstdc++'s own release of its emergency exception arena (made for memory
// checkers; no header declares it).
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace zelk::sys {

void releaseRuntimeReserves() { __gnu_cxx::__freeres(); }

}  // namespace zelk::sys
