// host_stats.h: what test scripts and the cycles mode may ask the host about
// its own process.
#pragma once

namespace host {

int threadCount();   // threads of this process
int handleCount();   // open handles (Windows) or descriptors (POSIX)
long residentKib();  // memory the process holds in RAM, -1 when unknown
void sleepMilliseconds(int milliseconds);
double monotonicMilliseconds();

// The counters a library could leave grown behind it after being freed;
// -1 where one is unknown here.
struct ProcessCounters {
  long tlsIndex = -1;    // the next free TLS index (Windows) or thread-specific key
  long threads = -1;     // threadCount()
  long handles = -1;     // handleCount(); under Wine, where it reads 0, counted by probing
  long nextHandle = -1;  // the value a new handle or descriptor gets (Wine and
                         // POSIX give the lowest free one, so it grows with leaks)
  long residentKib = -1;
  long privateKib = -1;  // memory committed to the process, touched or not
};
ProcessCounters processCounters();

// Under a sanitizer or Valgrind, whose shadow memory grows on its own and
// which keep freed libraries mapped.
bool underMemoryTool();

}  // namespace host
