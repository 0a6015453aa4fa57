// cycles.cpp: the cycles and the comparison of the counters.
#include "cycles.h"

#include <cstdio>

#include "host_stats.h"

namespace host {

namespace {

// How much a counter may grow over the measured cycles. A library that
// keeps one of something per load grows it by one per cycle, and a block of
// a KiB per load is four times the memory allowance; what the process itself
// settles (a thread pool, the allocator) stays far below both.
struct Limit {
  const char* name;
  long ProcessCounters::*field;
  long perHundredCycles;  // allowed growth per 100 measured cycles
  long atLeast;           // allowed growth in any case
};

const Limit limits[] = {
    {"TLS index", &ProcessCounters::tlsIndex, 0, 2},
    {"threads", &ProcessCounters::threads, 0, 2},
    {"handles", &ProcessCounters::handles, 1, 4},
    {"next handle", &ProcessCounters::nextHandle, 4, 16},  // Windows counts handles in fours
    {"resident KiB", &ProcessCounters::residentKib, 25, 1024},
    {"private KiB", &ProcessCounters::privateKib, 25, 1024},
};

void print(const char* when, int cycles, const ProcessCounters& counters) {
  std::printf("cycles: after %d (%s):", cycles, when);
  for (const Limit& limit : limits) {
    const long value = counters.*limit.field;
    if (value >= 0) std::printf(" %s %ld;", limit.name, value);
  }
  std::printf("\n");
}

// The names of the counters that grew past their limit, or an empty text.
std::string grown(const ProcessCounters& before, const ProcessCounters& after, int cycles) {
  std::string names;
  for (const Limit& limit : limits) {
    const long from = before.*limit.field;
    const long to = after.*limit.field;
    if (from < 0 || to < 0) continue;
    const long allowed = limit.atLeast + limit.perHundredCycles * cycles / 100;
    if (to - from > allowed)
      names += std::string(names.empty() ? "" : ", ") + limit.name + " grew by " +
               std::to_string(to - from) + " (allowed " + std::to_string(allowed) + ")";
  }
  return names;
}

}  // namespace

int runCycles(int count, const std::string& what, const std::function<int(int)>& cycle) {
  const int warmUp = count / 8;
  std::printf("cycles: %d of %s\n", count, what.c_str());
  ProcessCounters before;
  for (int i = 1; i <= count; ++i) {
    if (const int status = cycle(i); status != 0) {
      std::printf("cycles: cycle %d failed (status %d)\n", i, status);
      return 1;
    }
    if (i == warmUp) before = processCounters();
  }
  const ProcessCounters after = processCounters();
  print("the warm-up", warmUp, before);
  print("the last", count, after);
  if (underMemoryTool()) {  // its shadow memory grows on its own
    before.residentKib = before.privateKib = -1;
    std::printf("cycles: memory not compared under a sanitizer or Valgrind\n");
  }
  const std::string failures = grown(before, after, count - warmUp);
  if (!failures.empty()) {
    std::printf("cycles: FAILED: %s over %d cycles\n", failures.c_str(), count - warmUp);
    return 1;
  }
  std::printf("cycles: ok\n");
  return 0;
}

}  // namespace host
