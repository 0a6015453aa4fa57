// host_stats.h: what test scripts may ask the host about its own process.
#pragma once

namespace host {

int threadCount();   // threads of this process
int handleCount();   // open handles (Windows) or descriptors (POSIX)
long residentKib();  // memory the process holds in RAM, -1 when unknown
void sleepMilliseconds(int milliseconds);
double monotonicMilliseconds();

}  // namespace host
