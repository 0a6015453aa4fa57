// entry_posix.cpp: Lumivet's load and unload on Linux.
#include "fatal.h"
#include "run_directory.h"

__attribute__((constructor)) static void lumivetLoad() {
  zelk::setUnloadRoutine(lumivet::releaseResult);
}

__attribute__((destructor)) static void lumivetUnload() { lumivet::releaseResult(); }
