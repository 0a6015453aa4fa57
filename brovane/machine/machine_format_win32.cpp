// machine_format_win32.cpp: the identifier text through wsprintfA, looked up
// by name in user32 at each call.
#include <windows.h>

#include "machine/processor_id.h"

namespace brovane::machine {

namespace {
using WsprintfFunction = int(__cdecl*)(LPSTR, LPCSTR, ...);  // WINAPIV

const char format[] = "%08X-%08X-%08X-%08X";
}  // namespace

void formatMachineCode(const uint32_t values[4], char out[36]) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto wsprintf = user32 ? reinterpret_cast<WsprintfFunction>(
                                     reinterpret_cast<void*>(GetProcAddress(user32, "wsprintfA")))
                               : nullptr;
  if (wsprintf) {
    wsprintf(out, format, static_cast<unsigned>(values[0]), static_cast<unsigned>(values[1]),
             static_cast<unsigned>(values[2]), static_cast<unsigned>(values[3]));
    return;
  }
  // user32 is always loaded (the boxes import it); should it not be, the
  // same 35 characters are written here.
  char* next = out;
  for (int i = 0; i < 4; ++i) {
    for (int shift = 28; shift >= 0; shift -= 4)
      *next++ = "0123456789ABCDEF"[(values[i] >> shift) & 15];
    *next++ = i < 3 ? '-' : '\0';
  }
}

}  // namespace brovane::machine
