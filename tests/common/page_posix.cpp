#include <sys/mman.h>

#include "page.h"

void* unreadablePage() {
  static void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return page;
}

unsigned char* pageBeforeAnUnreadableOne() {
  auto* pages = static_cast<unsigned char*>(
      mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  mprotect(pages + 4096, 4096, PROT_NONE);
  return pages;
}
