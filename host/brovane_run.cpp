// brovane_run.cpp: the script host. Loads Brovane, registers its Lua exports
// under their GBK names and ASCII aliases, and runs one script.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "cycles.h"
#include "host_stats.h"
#include "library.h"
#include "lua_api.h"
#include "register_exports.h"

namespace {

const char usage[] =
    "usage: brovane-run [--cycles N] [--lib PATH] [--threads N] [--refuse-allocation N]\n"
    "                   [--lua-memory-cap BYTES] SCRIPT.lua [ARG...]\n"
    "       brovane-run [--refuse-allocation N] --lumivet PATH\n"
    "Runs SCRIPT.lua in a Lua 5.1 state whose globals hold Brovane's exports\n"
    "under their GBK names and ASCII aliases; arg holds the arguments.\n"
    "--threads runs it in N states on N threads at once (host_thread: 1 to N).\n"
    "--refuse-allocation has a library built with the allocation seam refuse\n"
    "its N-th allocation (0: none) and print how many it made.\n"
    "For tests it adds host_sleep(ms), host_clock() (ms, monotonic),\n"
    "host_thread_count(), host_handle_count() (handles or descriptors)\n"
    "and host_resident_kib() (resident memory, nil when unknown).\n"
    "--lua-memory-cap gives each state an allocator that refuses to grow Lua's\n"
    "memory past BYTES (0: no cap) and host_lua_memory_cap(BYTES) to move it.\n"
    "--lumivet loads that library, calls edgame and prints its answer; with\n"
    "--refuse-allocation (before it) calls it twice here and once on another\n"
    "thread, prints each answer and \"allocation: ok\" after the three.\n"
    "--cycles N loads the library, runs the script in a new state, closes it\n"
    "and frees the library, N times, each free unloading it for real; then\n"
    "compares the process's counters (TLS index, threads, handles, memory)\n"
    "after the first eighth of the cycles with those at the end.\n"
    "Exit status: 0 the script ran to its end, 1 it raised an error,\n"
    "2 the library could not be loaded.\n";

// Helpers for test scripts: Lua 5.1 has neither sleep nor a fine clock.
int ZELK_LUA_CC hostSleep(lua_State* L) {
  const double milliseconds = lua_tonumber(L, 1);
  if (milliseconds > 0 && milliseconds < 3600000)
    host::sleepMilliseconds(static_cast<int>(milliseconds));
  return 0;
}
int ZELK_LUA_CC hostClock(lua_State* L) {
  lua_pushnumber(L, host::monotonicMilliseconds());
  return 1;
}
int ZELK_LUA_CC hostThreadCount(lua_State* L) {
  lua_pushnumber(L, host::threadCount());
  return 1;
}
int ZELK_LUA_CC hostHandleCount(lua_State* L) {
  lua_pushnumber(L, host::handleCount());
  return 1;
}
int ZELK_LUA_CC hostResidentKib(lua_State* L) {
  const long kib = host::residentKib();
  if (kib < 0) return 0;  // unknown: no value
  lua_pushnumber(L, static_cast<double>(kib));
  return 1;
}

void registerHostHelpers(lua_State* L) {
  const struct {
    const char* name;
    lua_CFunction function;
  } helpers[] = {{"host_sleep", hostSleep},
                 {"host_clock", hostClock},
                 {"host_thread_count", hostThreadCount},
                 {"host_handle_count", hostHandleCount},
                 {"host_resident_kib", hostResidentKib}};
  for (const auto& helper : helpers) {
    lua_pushcclosure(L, helper.function, 0);
    lua_setfield(L, LUA_GLOBALS_INDEX, helper.name);
  }
}

void setArguments(lua_State* L, int argc, char** argv, int scriptIndex) {
  lua_createtable(L, argc - scriptIndex, 1);
  for (int i = scriptIndex; i < argc; ++i) {
    lua_pushstring(L, argv[i]);
    lua_rawseti(L, -2, i - scriptIndex);
  }
  lua_setfield(L, LUA_GLOBALS_INDEX, "arg");
}

// Lua's memory with a cap on its growth, for scripts that make Lua run out.
struct CappedHeap {
  size_t inUse = 0;
  size_t cap = 0;  // 0: none
};

// Lua assumes that a block never fails to shrink: only growth is refused.
void* ZELK_LUA_CC cappedAlloc(void* heapPointer, void* block, size_t oldSize, size_t newSize) {
  auto* heap = static_cast<CappedHeap*>(heapPointer);
  if (block == nullptr) oldSize = 0;  // a new block: nothing was there
  if (newSize == 0) {
    std::free(block);
    heap->inUse -= oldSize;
    return nullptr;
  }
  if (heap->cap != 0 && newSize > oldSize && heap->inUse - oldSize + newSize > heap->cap)
    return nullptr;
  void* moved = std::realloc(block, newSize);
  if (moved != nullptr) heap->inUse = heap->inUse - oldSize + newSize;
  return moved;
}

size_t capFrom(double bytes) { return bytes >= 1 && bytes < 1e15 ? static_cast<size_t>(bytes) : 0; }

int ZELK_LUA_CC hostLuaMemoryCap(lua_State* L) {
  static_cast<CappedHeap*>(lua_touserdata(L, LUA_GLOBALS_INDEX - 1))->cap =
      capFrom(lua_tonumber(L, 1));
  return 0;
}

struct RunOptions {
  std::string libraryPath = host::defaultLibraryPath("Brovane");
  int threads = 1;
  long refuseAllocation = -1;  // -1: the seam is not used
  double luaMemoryCap = -1;    // -1: Lua's own allocator
};

lua_State* newState(const RunOptions& options, CappedHeap* heap) {
  if (options.luaMemoryCap < 0) return luaL_newstate();
  heap->cap = capFrom(options.luaMemoryCap);
  lua_State* L = lua_newstate(cappedAlloc, heap);
  if (L == nullptr) return nullptr;
  lua_pushlightuserdata(L, heap);
  lua_pushcclosure(L, hostLuaMemoryCap, 1);
  lua_setfield(L, LUA_GLOBALS_INDEX, "host_lua_memory_cap");
  return L;
}

// One Lua state running the script; its status (0 or 1).
int runInState(const host::Library& library, const RunOptions& options, int argc, char** argv,
               int scriptIndex, int thread) {
  CappedHeap heap;
  lua_State* L = newState(options, &heap);
  if (L == nullptr) return std::fputs("brovane-run: no Lua state\n", stderr), 1;
  luaL_openlibs(L);
  host::registerExports(L, library, "brovane-run");
  registerHostHelpers(L);
  lua_pushnumber(L, thread);
  lua_setfield(L, LUA_GLOBALS_INDEX, "host_thread");
  setArguments(L, argc, argv, scriptIndex);
  int status = luaL_loadfile(L, argv[scriptIndex]);
  if (status == 0) status = lua_pcall(L, 0, 0, 0);
  if (status != 0) {
    const char* message = lua_tolstring(L, -1, nullptr);
    std::fprintf(stderr, "brovane-run: %s\n", message ? message : "error without a message");
  }
  lua_close(L);
  return status == 0 ? 0 : 1;
}

using SeamSetter = void (*)(long);
using SeamCounter = long (*)();

int runScript(const RunOptions& options, int argc, char** argv, int scriptIndex) {
  host::Library library(options.libraryPath);
  if (!library.loaded()) {
    std::fprintf(stderr, "brovane-run: cannot load %s: %s\n", options.libraryPath.c_str(),
                 host::Library::lastError().c_str());
    return 2;
  }
  auto refuse = reinterpret_cast<SeamSetter>(library.symbol("zelk_refuseAllocation"));
  auto counted = reinterpret_cast<SeamCounter>(library.symbol("zelk_allocationsCounted"));
  if (options.refuseAllocation >= 0 && (refuse == nullptr || counted == nullptr)) {
    std::fprintf(stderr, "brovane-run: %s has no allocation seam\n", options.libraryPath.c_str());
    return 2;
  }
  if (options.refuseAllocation >= 0) refuse(options.refuseAllocation);
  std::vector<int> statuses(options.threads, 0);
  std::vector<std::thread> threads;
  for (int i = 1; i < options.threads; ++i)
    threads.emplace_back(
        [&, i] { statuses[i] = runInState(library, options, argc, argv, scriptIndex, i + 1); });
  statuses[0] = runInState(library, options, argc, argv, scriptIndex, 1);
  for (std::thread& thread : threads) thread.join();
  if (options.refuseAllocation >= 0) {
    std::fflush(stdout);  // what the script printed is out before the end, however it ends
    std::fprintf(stderr, "brovane-run: the library made %ld allocations\n", counted());
  }
  library.unload();  // the host frees the library, as real hosts do
  for (int status : statuses)
    if (status != 0) return status;
  return 0;
}

using EdgameFunction = const char*(ZELK_STDCALL*)(const char*);

void printAnswer(const char* answer) { std::printf("edgame: %s\n", answer ? answer : "(null)"); }

// With the seam, the calls that allocate differently: a thread's first
// (its result slot is made), its next (the slot reused) and another
// thread's first; a run that gets through all three says so.
void askLumivetWithSeam(EdgameFunction edgame) {
  printAnswer(edgame(nullptr));
  printAnswer(edgame("argument"));
  // Printed on its thread: Windows frees a thread's result as the thread ends.
  std::thread([&] { printAnswer(edgame(nullptr)); }).join();
  std::printf("allocation: ok\n");
}

int askLumivet(const std::string& path, long refuseAllocation) {
  host::Library library(path);
  auto edgame =
      library.loaded() ? reinterpret_cast<EdgameFunction>(library.symbol("edgame")) : nullptr;
  if (edgame == nullptr) {
    std::fprintf(stderr, "brovane-run: cannot load edgame from %s\n", path.c_str());
    return 2;
  }
  if (refuseAllocation < 0) {
    const char* answer = edgame(nullptr);
    std::printf("%s\n", answer ? answer : "");
    return 0;
  }
  auto refuse = reinterpret_cast<SeamSetter>(library.symbol("zelk_refuseAllocation"));
  auto counted = reinterpret_cast<SeamCounter>(library.symbol("zelk_allocationsCounted"));
  if (refuse == nullptr || counted == nullptr) {
    std::fprintf(stderr, "brovane-run: %s has no allocation seam\n", path.c_str());
    return 2;
  }
  refuse(refuseAllocation);
  askLumivetWithSeam(edgame);
  std::fflush(stdout);
  std::fprintf(stderr, "brovane-run: the library made %ld allocations\n", counted());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  RunOptions options;
  int cycles = 0;
  int index = 1;
  while (index < argc && argv[index][0] == '-' && argv[index][1] == '-') {
    const std::string option = argv[index];
    if (option == "--help") return std::fputs(usage, stdout), 0;
    if (index + 1 >= argc) break;
    const char* value = argv[index + 1];
    if (option == "--lumivet") return askLumivet(value, options.refuseAllocation);
    if (option == "--lib")
      options.libraryPath = value;
    else if (option == "--cycles")
      cycles = std::atoi(value);
    else if (option == "--threads")
      options.threads = std::atoi(value);
    else if (option == "--refuse-allocation")
      options.refuseAllocation = std::atol(value);
    else if (option == "--lua-memory-cap")
      options.luaMemoryCap = std::atof(value);
    else
      break;
    index += 2;
  }
  if (index >= argc || options.threads < 1 || options.threads > 64 || (cycles != 0 && cycles < 8))
    return std::fputs(usage, stderr), 2;
  if (cycles == 0) return runScript(options, argc, argv, index);
  // Each script ends its connection, so each free really unloads the library.
  const std::string& libraryPath = options.libraryPath;
  return host::runCycles(cycles, libraryPath + " (load, " + argv[index] + ", free)", [&](int) {
    const int status = runScript(options, argc, argv, index);
    if (status != 0 || !host::Library::mapped(libraryPath) || host::underMemoryTool())
      return status;  // a sanitizer keeps freed libraries mapped
    std::fprintf(stderr, "brovane-run: %s is still mapped after its free\n", libraryPath.c_str());
    return 3;
  });
}
