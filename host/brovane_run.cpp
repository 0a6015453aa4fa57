// brovane_run.cpp: the script host. Loads Brovane, registers its Lua exports
// under their GBK names and ASCII aliases, and runs one script.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cycles.h"
#include "host_stats.h"
#include "library.h"
#include "lua_api.h"

namespace {

struct ExportName {
  const char* gbk;
  const char* alias;
};

// The Lua exports of Brovane (回调函数 is not one: the engine calls it).
const ExportName exportNames[] = {
#define BROVANE_LUA_EXPORT(ordinal, internal, gbk, alias) {gbk, alias},
#define BROVANE_CALLBACK_EXPORT(ordinal, internal, gbk)
#include "export_table.inc"
};

const char usage[] =
    "usage: brovane-run [--cycles N] [--lib PATH] SCRIPT.lua [ARG...]\n"
    "       brovane-run --lumivet PATH\n"
    "Runs SCRIPT.lua in a Lua 5.1 state whose globals hold Brovane's exports\n"
    "under their GBK names and ASCII aliases; arg holds the arguments.\n"
    "For tests it adds host_sleep(ms), host_clock() (ms, monotonic),\n"
    "host_thread_count(), host_handle_count() (handles or descriptors)\n"
    "and host_resident_kib() (resident memory, nil when unknown).\n"
    "--lumivet loads that library, calls edgame and prints its answer.\n"
    "--cycles N loads the library, runs the script in a new state, closes it\n"
    "and frees the library, N times, each free unloading it for real; then\n"
    "compares the process's counters (TLS index, threads, handles, memory)\n"
    "after the first eighth of the cycles with those at the end.\n"
    "Exit status: 0 the script ran to its end, 1 it raised an error,\n"
    "2 the library could not be loaded.\n";

int registerExports(lua_State* L, const host::Library& library) {
  int missing = 0;
  for (const ExportName& name : exportNames) {
    auto function = reinterpret_cast<lua_CFunction>(library.symbol(name.gbk));
    if (function == nullptr) {
      std::fprintf(stderr, "brovane-run: export %s not found\n", name.alias);
      ++missing;
      continue;
    }
    lua_pushcclosure(L, function, 0);
    lua_setfield(L, LUA_GLOBALS_INDEX, name.gbk);
    lua_pushcclosure(L, function, 0);
    lua_setfield(L, LUA_GLOBALS_INDEX, name.alias);
  }
  return missing;
}

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

int runScript(const std::string& libraryPath, int argc, char** argv, int scriptIndex) {
  host::Library library(libraryPath);
  if (!library.loaded()) {
    std::fprintf(stderr, "brovane-run: cannot load %s: %s\n", libraryPath.c_str(),
                 host::Library::lastError().c_str());
    return 2;
  }
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  registerExports(L, library);
  registerHostHelpers(L);
  setArguments(L, argc, argv, scriptIndex);
  int status = luaL_loadfile(L, argv[scriptIndex]);
  if (status == 0) status = lua_pcall(L, 0, 0, 0);
  if (status != 0) {
    const char* message = lua_tolstring(L, -1, nullptr);
    std::fprintf(stderr, "brovane-run: %s\n", message ? message : "error without a message");
  }
  lua_close(L);
  library.unload();  // the host frees the library, as real hosts do
  return status == 0 ? 0 : 1;
}

using EdgameFunction = const char*(ZELK_STDCALL*)(const char*);

int askLumivet(const std::string& path) {
  host::Library library(path);
  auto edgame =
      library.loaded() ? reinterpret_cast<EdgameFunction>(library.symbol("edgame")) : nullptr;
  if (edgame == nullptr) {
    std::fprintf(stderr, "brovane-run: cannot load edgame from %s\n", path.c_str());
    return 2;
  }
  const char* answer = edgame(nullptr);
  std::printf("%s\n", answer ? answer : "");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string libraryPath = host::defaultLibraryPath("Brovane");
  int cycles = 0;
  int index = 1;
  while (index < argc && argv[index][0] == '-' && argv[index][1] == '-') {
    const std::string option = argv[index];
    if (option == "--help") return std::fputs(usage, stdout), 0;
    if (index + 1 >= argc) break;
    if (option == "--lumivet") return askLumivet(argv[index + 1]);
    if (option == "--cycles") {
      cycles = std::atoi(argv[index + 1]);
    } else if (option == "--lib") {
      libraryPath = argv[index + 1];
    } else {
      break;
    }
    index += 2;
  }
  if (index >= argc || (cycles != 0 && cycles < 8)) return std::fputs(usage, stderr), 2;
  if (cycles == 0) return runScript(libraryPath, argc, argv, index);
  // Each script ends its connection, so each free really unloads the library.
  return host::runCycles(cycles, libraryPath + " (load, " + argv[index] + ", free)", [&](int) {
    const int status = runScript(libraryPath, argc, argv, index);
    if (status != 0 || !host::Library::mapped(libraryPath) || host::underMemoryTool())
      return status;  // a sanitizer keeps freed libraries mapped
    std::fprintf(stderr, "brovane-run: %s is still mapped after its free\n", libraryPath.c_str());
    return 3;
  });
}
