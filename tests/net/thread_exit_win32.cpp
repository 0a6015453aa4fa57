// thread_exit_win32.cpp: ExitThread, which unwinds nothing, as a termination.
#include <windows.h>

#include "thread_exit.h"

namespace nettest {

void exitThisThread() { ExitThread(1); }

}  // namespace nettest
