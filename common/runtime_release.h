// runtime_release.h: what a library's own copy of the C++ runtime keeps
// that it does not give back when the library is freed.
#pragma once

namespace zelk::sys {

// The last step of unloading. On Windows each DLL links its own C++ runtime,
// whose exception arena (a few dozen KiB set aside at load, for throws
// when memory runs out) is never freed: it is freed here, so that loads
// and frees do not add up. Elsewhere the runtime is the process's shared
// one, left alone.
void releaseRuntimeReserves();

}  // namespace zelk::sys
