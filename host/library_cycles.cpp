// library_cycles.cpp: loads and frees one library again and again, and
// checks that the process keeps nothing of it. It links no Lua, so that
// lua51.dll too is loaded and freed for real.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cycles.h"
#include "host_stats.h"
#include "library.h"

namespace {

const char usage[] =
    "usage: library-cycles CYCLES LIBRARY [EXPORT]\n"
    "Loads LIBRARY, calls EXPORT (a function taking and returning a text,\n"
    "such as edgame) twice when given, and frees it, CYCLES times (at least 8);\n"
    "then compares the process's counters after the first eighth of the\n"
    "cycles with those at the end. Exit status 0 when nothing grew.\n";

using TextFunction = const char*(ZELK_STDCALL*)(const char*);

// One load, the calls, one free, and the library gone after it.
int cycle(const std::string& path, const char* exportName) {
  host::Library library(path);
  if (!library.loaded()) {
    std::printf("library-cycles: cannot load %s: %s\n", path.c_str(),
                host::Library::lastError().c_str());
    return 2;
  }
  if (exportName != nullptr) {
    auto function = reinterpret_cast<TextFunction>(library.symbol(exportName));
    // The second call frees the first answer: the library's own free path.
    if (function == nullptr || function(nullptr) == nullptr || function(nullptr) == nullptr) {
      std::printf("library-cycles: %s of %s is missing or answered null\n", exportName,
                  path.c_str());
      return 2;
    }
  }
  library.unload();
  if (!host::Library::mapped(path) || host::underMemoryTool()) return 0;  // which keeps it
  std::printf("library-cycles: %s is still mapped after its free\n", path.c_str());
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || std::atoi(argv[1]) < 8) return std::fputs(usage, stderr), 2;
  const std::string path = argv[2];
  const char* exportName = argc == 4 ? argv[3] : nullptr;
  const std::string what =
      path + (exportName ? std::string(" (load, ") + exportName + " twice, free)"
                         : std::string(" (load and free)"));
  return host::runCycles(std::atoi(argv[1]), what, [&](int) { return cycle(path, exportName); });
}
