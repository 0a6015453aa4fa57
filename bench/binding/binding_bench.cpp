// binding_bench.cpp: the splitting and cipher exports as a script feels them.
// A host's way: Brovane.so loaded, its exports looked up by their GBK names
// and registered in a Lua 5.1 state as brovane-run registers them; every
// figure is a Lua loop calling them, beside its reference (plain Lua, the
// empty export call, memcpy) measured in the same run, and the ratio beside
// its goal.
#include <algorithm>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "library.h"
#include "lua_api.h"
#include "register_exports.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best time in nanoseconds of run() over the repetitions.
double bestNanoseconds(const std::function<void()>& run, int repetitions) {
  double best = 1e300;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = Clock::now();
    run();
    const std::chrono::duration<double, std::nano> took = Clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void keep(const void* p) { asm volatile("" : : "r"(p) : "memory"); }

// The references in plain Lua, and the loops that time a call n times.
const char luaCode[] = R"lua(
function lua_split(text, sep, n)
  local start, field = 1, 1
  while true do
    local a, b = string.find(text, sep, start, true)
    if not a then
      if field == n and start <= #text then return string.sub(text, start) end
      return false
    end
    if field == n then return string.sub(text, start, a - 1) end
    field, start = field + 1, b + 1
  end
end
function lua_count(text, pattern)
  local count = 0
  for _ in string.gmatch(text, pattern) do count = count + 1 end
  return count
end
function loop0(n, f) for i = 1, n do f() end end
function loop2(n, f, a, b) for i = 1, n do f(a, b) end end
function loop3(n, f, a, b, c) for i = 1, n do f(a, b, c) end end
function round_trip(n, text, key)
  for i = 1, n do decrypt(encrypt(text, key), key) end
end
function result_strings(n, text)
  for i = 1, n do lua_results(text) end
end
)lua";

// What Lua itself spends on the two results of a round trip on text: a new
// cipher text of 16 + 2n bytes (unique each time, as the salt makes it),
// then a text equal to the one given (Lua finds it among its strings).
int ZELK_LUA_CC luaResults(lua_State* L) {
  static std::string cipher, text;
  static uint64_t count = 0;
  size_t length = 0;
  const char* given = lua_tolstring(L, 1, &length);
  if (text.size() != length) {
    text.assign(given, length);
    cipher.assign(16 + 2 * length, 'C');
  }
  ++count;
  std::memcpy(cipher.data(), &count, sizeof count);
  lua_pushlstring(L, cipher.data(), cipher.size());
  lua_settop(L, 1);
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

class Lua {
 public:
  lua_State* L = luaL_newstate();

  explicit Lua(const host::Library& library) {
    luaL_openlibs(L);
    if (host::registerExports(L, library, "binding-bench") != 0) std::exit(2);
    lua_pushcclosure(L, luaResults, 0);
    lua_setfield(L, LUA_GLOBALS_INDEX, "lua_results");
    if (luaL_loadstring(L, luaCode) != 0 || lua_pcall(L, 0, 0, 0) != 0) fail();
  }
  ~Lua() { lua_close(L); }

  // Nanoseconds per iteration of global loop `name`(n, arguments...), best of
  // the repetitions; the arguments are globals (strings stay Lua's own).
  double perCall(const char* loop, long n, std::initializer_list<const char*> globals,
                 int repetitions) {
    return bestNanoseconds(
               [&] {
                 lua_getfield(L, LUA_GLOBALS_INDEX, loop);
                 lua_pushnumber(L, static_cast<double>(n));
                 for (const char* g : globals) lua_getfield(L, LUA_GLOBALS_INDEX, g);
                 if (lua_pcall(L, 1 + static_cast<int>(globals.size()), 0, 0) != 0) fail();
               },
               repetitions) /
           static_cast<double>(n);
  }

  void setString(const char* name, const std::string& value) {
    lua_pushlstring(L, value.data(), value.size());
    lua_setfield(L, LUA_GLOBALS_INDEX, name);
  }
  void setNumber(const char* name, double value) {
    lua_pushnumber(L, value);
    lua_setfield(L, LUA_GLOBALS_INDEX, name);
  }
  void setGlobal(const char* name, const char* other) {
    lua_getfield(L, LUA_GLOBALS_INDEX, other);
    lua_setfield(L, LUA_GLOBALS_INDEX, name);
  }

  // The text form of what a chunk returns, for the checks.
  std::string eval(const std::string& expression) {
    lua_settop(L, 0);
    const std::string chunk = "return tostring(" + expression + ")";
    if (luaL_loadstring(L, chunk.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) fail();
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    std::string result(text, length);
    lua_settop(L, 0);
    return result;
  }

  void collect() { lua_gc(L, 2 /* LUA_GCCOLLECT */, 0); }

 private:
  [[noreturn]] void fail() {
    std::fprintf(stderr, "binding-bench: %s\n", lua_tolstring(L, -1, nullptr));
    std::exit(1);
  }
};

int unmetGoals = 0;

// "ours" must be at most goal times "base".
void reportAtMost(const char* what, double ours, const char* baseName, double base, double goal,
                  const char* unit) {
  const double ratio = ours / base;
  const bool met = ratio <= goal;
  unmetGoals += !met;
  std::printf("%-40s %9.1f %s | %-26s %9.1f %s | %6.2fx  goal <= %.0fx  %s\n", what, ours, unit,
              baseName, base, unit, ratio, goal, met ? "met" : "NOT MET");
}

// "ours" must be at least goal times faster than "base".
void reportFaster(const char* what, double ours, const char* baseName, double base, double goal,
                  const char* unit) {
  const double speedUp = base / ours;
  const bool met = speedUp >= goal;
  unmetGoals += !met;
  std::printf("%-40s %9.1f %s | %-26s %9.1f %s | %6.2fx faster  goal >= %.0fx  %s\n", what, ours,
              unit, baseName, base, unit, speedUp, goal, met ? "met" : "NOT MET");
}

void check(bool ok, const char* what) {
  if (ok) return;
  std::printf("!! %s\n", what);
  ++unmetGoals;
}

// 1 MiB of text in GBK and ASCII, no zero byte.
std::string mebibyteText() {
  std::string text;
  while (text.size() < (1u << 20))
    text += "\xD6\xD0\xCE\xC4 text " + std::to_string(text.size() % 997);
  text.resize(1u << 20);
  if (static_cast<unsigned char>(text.back()) >= 0x80) text.back() = 'x';
  return text;
}

// 100,000 fields (with GBK characters) joined by ';', 1 MiB in all.
std::string fieldText() {
  const size_t fields = 100000, total = 1u << 20;
  std::string text;
  text.reserve(total);
  for (size_t i = 0; i < fields; ++i) {
    const size_t end = (i + 1) * total / fields;  // where this field's separator goes
    std::string field = "\xCA\xFD" + std::to_string(i);
    while (text.size() + field.size() + 1 < end) field += static_cast<char>('a' + i % 26);
    text += field;
    if (i + 1 < fields) text += ';';
  }
  return text;
}

// memcpy of n bytes, best of the repetitions, in nanoseconds.
double memcpyTime(size_t n, int repetitions) {
  std::string from(n, 'x'), to(n, '\0');
  return bestNanoseconds(
      [&] {
        std::memcpy(&to[0], from.data(), n);
        keep(to.data());
      },
      repetitions);
}

void benchShort(Lua& lua, int repetitions) {
  const long n = 200000;
  // A 60-byte line of 10 fields.
  const std::string line = "alpha,beta12,gamma3,delta,eps,zeta99,seventh,eta,theta0,iota";
  lua.setString("line", line);
  lua.setString("comma", ",");
  lua.setString("field_pattern", "[^,]+");
  lua.setNumber("seven", 7);
  lua.setString("short_text", std::string(32, 'q'));
  lua.setString("empty_key", "");
  check(line.size() == 60, "the short line is not 60 bytes");
  check(lua.eval("split_text(line, comma, seven)") == "seventh", "split_text: wrong field");
  check(lua.eval("lua_split(line, comma, seven)") == "seventh", "lua_split: wrong field");
  check(lua.eval("member_count(line, comma)") == "10", "member_count: wrong count");
  check(lua.eval("lua_count(line, field_pattern)") == "10", "gmatch count: wrong count");
  check(lua.eval("decrypt(encrypt(short_text, empty_key), empty_key) == short_text") == "true",
        "short round trip lost the text");

  const double empty = lua.perCall("loop0", n, {"is_disconnected"}, repetitions);
  std::printf("%-40s %9.1f ns\n", "empty export call (is_disconnected)", empty);
  const double split =
      lua.perCall("loop3", n, {"split_text", "line", "comma", "seven"}, repetitions);
  const double luaSplit =
      lua.perCall("loop3", n, {"lua_split", "line", "comma", "seven"}, repetitions);
  reportFaster("split_text, 60-byte line, field 7", split, "plain Lua string.find", luaSplit, 3,
               "ns");
  const double count = lua.perCall("loop2", n, {"member_count", "line", "comma"}, repetitions);
  const double gmatch =
      lua.perCall("loop2", n, {"lua_count", "line", "field_pattern"}, repetitions);
  reportFaster("member_count, same line", count, "plain Lua gmatch count", gmatch, 10, "ns");
  const double roundTrip = lua.perCall("round_trip", n, {"short_text", "empty_key"}, repetitions);
  reportAtMost("encrypt+decrypt, 32-byte text", roundTrip, "empty export call", empty, 20, "ns");
  lua.collect();
  // Past the results made on the stack: both results go through the slots.
  lua.setString("middle_text", std::string(2048, 'm'));
  const double middle = lua.perCall("round_trip", n / 8, {"middle_text", "empty_key"}, repetitions);
  const double luaOwn = lua.perCall("result_strings", n / 8, {"middle_text"}, repetitions);
  std::printf("%-40s %9.1f ns   (for comparison: Lua making its 2 results, %.1f ns)\n",
              "encrypt+decrypt, 2 KiB text", middle, luaOwn);
  lua.collect();
}

void benchLarge(Lua& lua, int repetitions) {
  const std::string text = mebibyteText(), fields = fieldText();
  lua.setString("big_text", text);
  lua.setString("big_fields", fields);
  lua.setString("semicolon", ";");
  lua.setNumber("middle", 50000);
  check(lua.eval("decrypt(encrypt(big_text, empty_key), empty_key) == big_text") == "true",
        "1 MiB round trip lost the text");
  check(lua.eval("member_count(big_fields, semicolon)") == "100000", "member_count: 1 MiB");
  check(lua.eval("split_text(big_fields, semicolon, middle) == lua_split(big_fields, semicolon, "
                 "middle)") == "true",
        "split_text: 1 MiB middle field");
  lua.collect();

  const double us = 1000.0;
  const double copyText = memcpyTime(text.size(), repetitions * 4) / us;
  const double roundTrip =
      lua.perCall("round_trip", 1, {"big_text", "empty_key"}, repetitions) / us;
  reportAtMost("encrypt+decrypt 1 MiB, Lua taking results", roundTrip, "memcpy 1 MiB", copyText, 10,
               "us");
  lua.collect();
  const double luaOwn = lua.perCall("result_strings", 1, {"big_text"}, repetitions) / us;
  reportAtMost("  the same round trip", roundTrip, "Lua making its 2 results", luaOwn, 2, "us");
  lua.collect();
  const double copyFields = memcpyTime(fields.size(), repetitions * 4) / us;
  const double count =
      lua.perCall("loop2", 1, {"member_count", "big_fields", "semicolon"}, repetitions) / us;
  reportAtMost("member_count, 1 MiB of 100,000 fields", count, "memcpy of the text", copyFields, 5,
               "us");
  const double split =
      lua.perCall("loop3", 1, {"split_text", "big_fields", "semicolon", "middle"}, repetitions) /
      us;
  reportAtMost("split_text, its middle field", split, "memcpy of the text", copyFields, 5, "us");
  const double luaSplit =
      lua.perCall("loop3", 1, {"lua_split", "big_fields", "semicolon", "middle"}, repetitions) / us;
  std::printf("%-40s %9.1f us   (for comparison: plain Lua string.find, same field)\n",
              "  plain Lua split, middle field", luaSplit);
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  const std::string path = argc > 2 ? argv[2] : host::defaultLibraryPath("Brovane");
  host::Library library(path);
  if (!library.loaded()) {
    std::fprintf(stderr, "binding-bench: %s\n", host::Library::lastError().c_str());
    return 2;
  }
  {
    Lua lua(library);
    benchShort(lua, std::max(3, repetitions / 8));
    benchLarge(lua, repetitions);
  }
  std::printf("%s\n", unmetGoals == 0 ? "all goals met" : "some goals NOT MET (or a check failed)");
  return 0;
}
