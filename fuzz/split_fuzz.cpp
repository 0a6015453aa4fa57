// split_fuzz.cpp: E_取成员数 agrees with the fields E_分割文本 returns, and
// 子程序1 answers like E_分割文本.
#include <string>

#include "binding/exports.h"
#include "lua_call.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto pieces = fuzz::splitInput(data, size, 3);
  const std::string& text = pieces[0];
  const std::string& separator = pieces[1];

  const auto count = fuzz::callExport(brovane_memberCount, {text, separator});
  if (count.size() != 1 || count[0].rfind("<number:", 0) != 0) fuzz::fail("count is a number");
  const int fields = std::stoi(count[0].substr(8));

  // Every field from 1 to the count exists, the one after does not.
  for (int n = 1; n <= fields + 1 && n <= 64; ++n) {
    const auto field = fuzz::callExport(brovane_splitText, {text, separator, std::to_string(n)});
    if (field.size() != 1) fuzz::fail("split pushes one value");
    if ((n <= fields) != (field[0] != "<false>")) fuzz::fail("field count disagrees with split");
  }
  const auto a = fuzz::callExport(brovane_splitText, pieces);
  const auto b = fuzz::callExport(brovane_subroutine1, pieces);
  if (a != b) fuzz::fail("子程序1 differs from E_分割文本");
  return 0;
}
