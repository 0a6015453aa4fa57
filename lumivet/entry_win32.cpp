// entry_win32.cpp: Lumivet's DllMain.
#include <windows.h>

#include "fatal.h"
#include "run_directory.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) zelk::setUnloadRoutine(lumivet::releaseResult);
  if (reason == DLL_THREAD_DETACH) lumivet::forgetThread();
  if (reason == DLL_PROCESS_DETACH) lumivet::releaseResult();
  return TRUE;
}
