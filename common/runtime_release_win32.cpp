// runtime_release_win32.cpp: what the statically linked C++ runtime of a
// library keeps: its exception arena, freed here, and its terminate handler.
#include <cstdlib>

#include "runtime_release.h"

// libstdc++'s own release of its emergency exception arena (made for memory
// checkers; no header declares it).
namespace __gnu_cxx {
void __freeres() noexcept;
}

// The runtime's default terminate handler, in this library's own copy of
// it: libstdc++'s writes the escaping exception's type name, demangled, to
// stderr (a windowed host has none) and brings the whole demangler into the
// DLL (46 KiB). Defined here, it ends the process the same way, by abort,
// without it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace zelk::sys {

void releaseRuntimeReserves() { __gnu_cxx::__freeres(); }

}  // namespace zelk::sys
