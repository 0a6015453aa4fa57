// protection_win32.cpp: the page's protection from VirtualQuery.
#include <windows.h>

#include "protection.h"

namespace nettest {

bool isExecutable(const void* address) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(address, &info, sizeof info) == 0) return true;
  const DWORD executable =
      PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  return (info.Protect & executable) != 0;
}

}  // namespace nettest
