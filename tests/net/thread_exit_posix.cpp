// thread_exit_posix.cpp: pthread_exit (its unwinding runs the destructors).
#include <pthread.h>

#include "thread_exit.h"

namespace nettest {

void exitThisThread() { pthread_exit(nullptr); }

}  // namespace nettest
