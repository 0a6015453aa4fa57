#include <windows.h>

#include "page.h"

void* unreadablePage() {
  static void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
  return page;
}

unsigned char* pageBeforeAnUnreadableOne() {
  auto* pages = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  DWORD old = 0;
  VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old);
  return pages;
}
