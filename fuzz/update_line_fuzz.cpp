// update_line_fuzz.cpp: a line of updat.txt is prefix + name, a space, the
// count, a space, the size and CR LF; the last two fields read back exactly.
#include <cstdlib>
#include <cstring>
#include <string>

#include "lua_call.h"
#include "update_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  int64_t count;
  int32_t fileSize;
  std::memcpy(&count, data, 8);
  std::memcpy(&fileSize, data + 8, 4);
  count = static_cast<int32_t>(count);  // counts are 32-bit values
  const auto pieces = fuzz::splitInput(data + 12, size - 12, 2);
  const std::string prefix = pieces[0].c_str();  // texts end at their first zero
  const tarvex::String name(pieces[1].c_str());

  tarvex::String line;
  tarvex::formatLine(line, prefix.c_str(), name, count, fileSize);
  const std::string head = prefix + name.c_str() + " ";
  if (line.compare(0, head.size(), head.c_str()) != 0) fuzz::fail("prefix glued to the name");
  if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) fuzz::fail("CR LF");
  const std::string numbers(line.c_str() + head.size(), line.size() - head.size() - 2);
  const size_t space = numbers.find(' ');
  if (space == std::string::npos || numbers.find(' ', space + 1) != std::string::npos) {
    fuzz::fail("two numbers after the name");
  }
  if (std::strtoll(numbers.substr(0, space).c_str(), nullptr, 10) != count ||
      std::strtol(numbers.substr(space + 1).c_str(), nullptr, 10) != fileSize) {
    fuzz::fail("numbers read back");
  }
  return 0;
}
