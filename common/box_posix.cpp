// box_posix.cpp: a box is one line on stderr, its GBK texts shown as UTF-8.
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "box.h"

namespace zelk::sys {

static std::string gbkToUtf8(const char* gbk) {
  std::string in = gbk ? gbk : "";
  std::string out(in.size() * 3 + 4, '\0');
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  char* src = in.data();
  char* dst = out.data();
  size_t srcLeft = in.size(), dstLeft = out.size();
  while (srcLeft > 0 && iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
    if (dstLeft == 0) break;
    *dst++ = '?';  // a byte that is not GBK: shown, not dropped
    --dstLeft, ++src, --srcLeft;
  }
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

void showSystemBox(const char* text, const char* title, BoxIcon icon) {
  std::fprintf(stderr, "[%s%s] %s\n", icon == BoxIcon::error ? "!" : "", gbkToUtf8(title).c_str(),
               gbkToUtf8(text).c_str());
  std::fflush(stderr);
}

}  // namespace zelk::sys
