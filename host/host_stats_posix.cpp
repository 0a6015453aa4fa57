// host_stats_posix.cpp: /proc counts, nanosleep and the monotonic clock.
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "host_stats.h"

namespace host {

static int entriesIn(const char* directory) {
  DIR* dir = opendir(directory);
  if (dir == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count;
}

int threadCount() { return entriesIn("/proc/self/task"); }

int handleCount() { return entriesIn("/proc/self/fd") - 1; }  // less opendir's own

long residentKib() {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return -1;
  char line[256];
  long kib = -1;
  while (kib < 0 && std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "VmRSS: %ld", &kib) != 1) kib = -1;
  std::fclose(status);
  return kib;
}

void sleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double monotonicMilliseconds() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace host
