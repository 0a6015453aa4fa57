#include <windows.h>

#include "page.h"

void* unreadablePage() {
  static void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
  return page;
}
