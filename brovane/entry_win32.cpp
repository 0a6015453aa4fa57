// entry_win32.cpp: Brovane's DllMain.
#include <windows.h>

#include "library.h"
#include "runtime_release.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) brovane::loadLibrary();
  if (reason == DLL_PROCESS_DETACH) {
    brovane::unloadLibrary();
    zelk::sys::releaseRuntimeReserves();
  }
  return TRUE;
}
