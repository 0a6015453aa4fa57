// entry_posix.cpp: Brovane's load and unload on Linux.
#include "library.h"
#include "runtime_release.h"

__attribute__((constructor)) static void brovaneLoad() { brovane::loadLibrary(); }

__attribute__((destructor)) static void brovaneUnload() {
  brovane::unloadLibrary();
  zelk::sys::releaseRuntimeReserves();
}
