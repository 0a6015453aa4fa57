// cycles.h: a library loaded, used and freed again and again, as a host does
// that reloads its scripting layer, with the process's counters compared.
#pragma once

#include <functional>
#include <string>

namespace host {

// Runs cycle(1..count), stopping at the first that returns nonzero, and
// compares the process's counters after the first eighth of the cycles with
// those at the end. Prints both, then "cycles: ok" or what grew. 0 when every
// cycle ran and nothing grew, else 1.
int runCycles(int count, const std::string& what, const std::function<int(int)>& cycle);

}  // namespace host
