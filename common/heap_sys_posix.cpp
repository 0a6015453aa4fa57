// heap_sys_posix.cpp: C heap, image bounds and readability on Linux.
#include <link.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "heap_sys.h"

namespace zelk::sys {

void* heapAllocZeroed(size_t size) { return std::calloc(1, size); }

void* heapAllocRaw(size_t size) { return std::malloc(size); }

void heapRelease(void* block) { std::free(block); }

// The leak checker scans the heap, stacks and globals only; it is told of
// our own pages, which hold pointers too. Null when no sanitizer is linked.
extern "C" {
[[gnu::weak]] void __lsan_register_root_region(const void* block, size_t size);
[[gnu::weak]] void __lsan_unregister_root_region(const void* block, size_t size);
}

void* pagesAllocZeroed(size_t size) {
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  if (__lsan_register_root_region != nullptr) __lsan_register_root_region(block, size);
  return block;
}

void pagesRelease(void* block, size_t size) {
  if (__lsan_unregister_root_region != nullptr) __lsan_unregister_root_region(block, size);
  munmap(block, size);
}

bool isReadable(const void* address, size_t count) {
  // Reading our own memory through the kernel reports EFAULT instead of
  // faulting, which is what IsBadReadPtr gives on Windows.
  char probe[16];
  if (count > sizeof probe) count = sizeof probe;
  iovec local{probe, count};
  iovec remote{const_cast<void*>(address), count};
  const ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
  if (got == static_cast<ssize_t>(count)) return true;
  return got < 0 && errno != EFAULT;  // call not allowed here: assume readable
}

namespace {
const char imageMarker = 0;  // any object of this image

int findImage(dl_phdr_info* info, size_t, void* data) {
  auto* bounds = static_cast<ModuleBounds*>(data);
  const auto wanted = reinterpret_cast<uintptr_t>(&imageMarker);
  uintptr_t low = UINTPTR_MAX, high = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (start < low) low = start;
    if (start + segment.p_memsz > high) high = start + segment.p_memsz;
  }
  if (wanted < low || wanted >= high) return 0;
  *bounds = {low, high};
  return 1;
}
}  // namespace

ModuleBounds ownModuleBounds() {
  ModuleBounds bounds;
  dl_iterate_phdr(findImage, &bounds);
  return bounds;
}

}  // namespace zelk::sys
