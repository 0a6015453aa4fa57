// binding_bench.cpp: the cipher round trip and the splitting exports on
// 1 MiB texts, called from Lua, against memcpy and memchr on the same bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "binding/library.h"
#include "exports.h"
#include "lua_api.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best time in microseconds of run() over enough repetitions to be stable.
double bestMicroseconds(const std::function<void()>& run, int repetitions) {
  double best = 1e300;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = Clock::now();
    run();
    const std::chrono::duration<double, std::micro> took = Clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void keep(const void* p) { asm volatile("" : : "r"(p) : "memory"); }

const char defaultKey[] = "pk4vzd9qewn2sb7fjr0mtyc5hl8xgi3oua61!?#$%^&()+-=:;.";

// The cipher as its description reads, every masked key byte applied to
// every data byte: O(n * k). Hex through the same kind of tables.
struct PlainCipher {
  char pairs[512];
  PlainCipher() {
    const char* digits = "0123456789ABCDEF";
    for (int v = 0; v < 256; ++v) pairs[2 * v] = digits[v >> 4], pairs[2 * v + 1] = digits[v & 15];
  }
  static int digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  std::string encrypt(const std::string& data, std::string key, uint32_t tick, int draw) {
    const uint8_t r = static_cast<uint8_t>(2 + draw * 253 / 32767);
    uint8_t t[4], m[4];
    for (int i = 0; i < 4; ++i) t[i] = static_cast<uint8_t>(tick >> (8 * i)), m[i] = t[i] ^ r;
    int c = 0;
    auto advance = [&c] { c = c + 1 > 4 ? 1 : c + 1; };
    for (char& k : key) advance(), k = static_cast<char>(k ^ m[c - 1]);
    std::vector<uint8_t> block(8 + data.size());
    const uint32_t h = ~uint32_t{r} ^ (m[0] | m[1] << 8 | m[2] << 16 | uint32_t{m[3]} << 24);
    for (int i = 0; i < 4; ++i) block[i] = static_cast<uint8_t>(h >> (8 * i)), block[4 + i] = m[i];
    for (size_t i = 0; i < data.size(); ++i) {
      advance();
      uint8_t byte = static_cast<uint8_t>(data[i]);
      for (char k : key) byte ^= static_cast<uint8_t>(k);
      block[8 + i] = byte ^ t[c - 1];
    }
    std::string text(2 * block.size(), '\0');
    for (size_t i = 0; i < block.size(); ++i) std::memcpy(&text[2 * i], &pairs[2 * block[i]], 2);
    return text;
  }
  std::string decrypt(const std::string& text, std::string key) {
    std::vector<uint8_t> block(text.size() / 2);
    for (size_t j = 0; j < block.size(); ++j) {
      const int high = digit(text[2 * j]), low = digit(text[2 * j + 1]);
      block[j] = high < 0 || low < 0 ? 0 : static_cast<uint8_t>(high * 16 + low);
    }
    if (block.size() <= 8) return {};
    const uint32_t x = block[0] | block[1] << 8 | block[2] << 16 | uint32_t{block[3]} << 24;
    const uint32_t y = block[4] | block[5] << 8 | block[6] << 16 | uint32_t{block[7]} << 24;
    const uint8_t r = static_cast<uint8_t>(~(x ^ y));
    int c = 0;
    auto advance = [&c] { c = c + 1 > 4 ? 1 : c + 1; };
    for (char& k : key) advance(), k = static_cast<char>(k ^ block[4 + c - 1]);
    std::string out(block.size() - 8, '\0');
    for (size_t i = 0; i < out.size(); ++i) {
      advance();
      uint8_t byte = block[8 + i] ^ block[4 + c - 1] ^ r;
      for (char k : key) byte ^= static_cast<uint8_t>(k);
      out[i] = static_cast<char>(byte);
    }
    return out.substr(0, std::strlen(out.c_str()));
  }
};

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
    while (text.size() + field.size() + 1 < end) field += 'a' + (i % 26);
    text += field;
    if (i + 1 < fields) text += ';';
  }
  return text;
}

size_t memchrCount(const std::string& text, char separator) {
  size_t count = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  while ((p = static_cast<const char*>(std::memchr(p, separator, end - p))) != nullptr)
    ++count, ++p;
  return count;
}

struct Lua {
  lua_State* L = luaL_newstate();
  Lua() {
    luaL_openlibs(L);
    const struct {
      const char* name;
      lua_CFunction function;
    } exports[] = {{"encrypt", brovane_encrypt},
                   {"decrypt", brovane_decrypt},
                   {"split_text", brovane_splitText},
                   {"member_count", brovane_memberCount}};
    for (const auto& e : exports) {
      lua_pushcclosure(L, e.function, 0);
      lua_setfield(L, LUA_GLOBALS_INDEX, e.name);
    }
  }
  ~Lua() { lua_close(L); }
  // Calls global function `name` with string arguments; the results stay for read().
  void call(const char* name, std::initializer_list<const std::string*> arguments) {
    lua_settop(L, 0);
    lua_getfield(L, LUA_GLOBALS_INDEX, name);
    for (const std::string* a : arguments) lua_pushlstring(L, a->data(), a->size());
    if (lua_pcall(L, static_cast<int>(arguments.size()), 1, 0) != 0)
      std::fprintf(stderr, "error: %s\n", lua_tolstring(L, -1, nullptr));
  }
  std::string read() {
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    return text ? std::string(text, length) : std::string("<nil>");
  }
  void run(const char* chunk) {
    if (luaL_loadstring(L, chunk) != 0 || lua_pcall(L, 0, 0, 0) != 0)
      std::fprintf(stderr, "error: %s\n", lua_tolstring(L, -1, nullptr));
  }
};

void report(const char* what, double ours, double base, const char* baseName, double goal) {
  std::printf("%-44s %9.1f us   %-14s %8.1f us   ratio %5.2fx (goal <= %.0fx)\n", what, ours,
              baseName, base, ours / base, goal);
}

void benchCipher(Lua& lua, int repetitions) {
  const std::string text = mebibyteText(), empty;
  std::string copy(text.size(), '\0');
  const double copyTime = bestMicroseconds(
      [&] {
        std::memcpy(&copy[0], text.data(), text.size());
        keep(copy.data());
      },
      repetitions * 4);
  lua.run("function roundTrip(text, key) return decrypt(encrypt(text, key), key) end");
  const double roundTrip = bestMicroseconds(
      [&] {
        lua.call("roundTrip", {&text, &empty});
      },
      repetitions);
  if (lua.read() != text) std::printf("!! round trip through the library lost the text\n");
  report("encrypt+decrypt 1 MiB, default key, from Lua", roundTrip, copyTime, "memcpy 1 MiB", 10);
  // What any round trip pays to Lua alone: its copies of the two results.
  const std::string cipherText(2 * (8 + text.size()), 'A');
  const double luaCopies = bestMicroseconds(
      [&] {
        lua_pushlstring(lua.L, cipherText.data(), cipherText.size());
        lua_pushlstring(lua.L, text.data(), text.size());
        lua_settop(lua.L, 0);
        lua_gc(lua.L, 2 /* collect */, 0);
      },
      repetitions);
  std::printf("%-44s %9.1f us   (Lua taking the 2 MiB and 1 MiB results, and freeing them)\n",
              "  of which Lua's own copies at least", luaCopies);

  PlainCipher plain;
  std::string plainText;
  const double plainTime = bestMicroseconds(
      [&] {
        plainText = plain.decrypt(plain.encrypt(text, defaultKey, 0x12345678, 1234), defaultKey);
      },
      std::max(1, repetitions / 4));
  if (plainText != text) std::printf("!! the plain cipher lost the text\n");
  // The plain cipher's block must decrypt through the library: same cipher.
  const std::string plainBlock = plain.encrypt(text, defaultKey, 0x9ABCDEF0, 32767);
  lua.call("decrypt", {&plainBlock, &empty});
  if (lua.read() != text) std::printf("!! the library does not decrypt the plain cipher's text\n");
  std::printf("%-44s %9.1f us   speed-up of the folded key over O(n*k): %.1fx\n",
              "plain O(n*k) round trip 1 MiB (C++)", plainTime, plainTime / roundTrip);
}

void benchSplit(Lua& lua, int repetitions) {
  const std::string text = fieldText(), separator = ";", middle = "50000";
  const size_t separators = memchrCount(text, ';');
  const double scan = bestMicroseconds(
      [&] {
        size_t count = memchrCount(text, ';');
        keep(&count);
      },
      repetitions * 4);
  const double count = bestMicroseconds(
      [&] {
        lua.call("member_count", {&text, &separator});
      },
      repetitions);
  if (lua.read() != std::to_string(separators + 1))
    std::printf("!! member_count gave %s\n", lua.read().c_str());
  report("member_count, 1 MiB of 100,000 fields", count, scan, "memchr scan", 3);
  const double split = bestMicroseconds(
      [&] {
        lua.call("split_text", {&text, &separator, &middle});
      },
      repetitions);
  if (lua.read().find("49999") == std::string::npos)
    std::printf("!! split_text gave %s\n", lua.read().c_str());
  report("split_text field 50,000, same text", split, scan, "memchr scan", 3);
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  brovane::loadLibrary();
  {
    Lua lua;
    benchCipher(lua, repetitions);
    benchSplit(lua, repetitions);
  }
  brovane::unloadLibrary();
  return 0;
}
