// thread_exit.h: ends the calling thread where it stands, as a process's
// end or a host's callback may end an engine worker.
#pragma once

namespace nettest {

[[noreturn]] void exitThisThread();

}  // namespace nettest
