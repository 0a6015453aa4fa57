// left_out.cpp: the box that names the files a list left out.
#include "left_out.h"

#include <charconv>
#include <cstring>

#include "box.h"
#include "texts.h"

namespace tarvex {

static void appendCountOfOthers(String& text, size_t others) {
  const char* pattern = texts::leftOutMore;
  const char* mark = std::strstr(pattern, "%d");
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, others).ptr;
  text.append(pattern, mark);
  text.append(digits, end);
  text += mark + 2;
  text += "\r\n";
}

String leftOutText(const NameList& names) {
  String text = texts::leftOutReason;
  text += "\r\n\r\n";
  const size_t shown = names.size() < leftOutShownAtMost ? names.size() : leftOutShownAtMost;
  for (size_t i = 0; i < shown; ++i) {
    text += names[i];
    text += "\r\n";
  }
  if (shown < names.size()) appendCountOfOthers(text, names.size() - shown);
  return text;
}

void showLeftOut(const NameList& names) {
  const String text = leftOutText(names);
  zelk::showBox(text.c_str(), texts::leftOutTitle, zelk::BoxIcon::none);
}

}  // namespace tarvex
