// host_stats_posix.cpp: /proc counts, nanosleep, the monotonic clock, the
// next thread-specific key and descriptor.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
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

// A "Name: N kB" line of /proc/self/status, -1 when missing.
static long statusKib(const char* format) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return -1;
  char line[256];
  long kib = -1;
  while (kib < 0 && std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, format, &kib) != 1) kib = -1;
  std::fclose(status);
  return kib;
}

long residentKib() { return statusKib("VmRSS: %ld"); }

void sleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double monotonicMilliseconds() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

static long nextThreadKey() {
  pthread_key_t key;
  if (pthread_key_create(&key, nullptr) != 0) return -1;
  pthread_key_delete(key);
  return static_cast<long>(key);
}

static long nextDescriptor() {  // POSIX gives the lowest free one
  const int descriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (descriptor >= 0) close(descriptor);
  return descriptor;
}

ProcessCounters processCounters() {
  ProcessCounters counters;
  counters.tlsIndex = nextThreadKey();
  counters.threads = threadCount();
  counters.handles = handleCount();
  counters.nextHandle = nextDescriptor();
  counters.residentKib = residentKib();
  counters.privateKib = statusKib("VmData: %ld");  // private mappings, touched or not
  return counters;
}

bool underMemoryTool() {
  FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) return false;
  char line[512];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, maps) != nullptr)
    found = std::strstr(line, "libtsan") || std::strstr(line, "libasan") ||
            std::strstr(line, "vgpreload");
  std::fclose(maps);
  return found;
}

}  // namespace host
