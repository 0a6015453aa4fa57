// heap_sys.h: the platform side of heap.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelk::sys {

void* heapAllocZeroed(size_t size);  // null when refused
void* heapAllocRaw(size_t size);     // null when refused; contents undefined
void heapRelease(void* block);
void* pagesAllocZeroed(size_t size);  // whole pages of the system; null when refused
void pagesRelease(void* block, size_t size);
bool isReadable(const void* address, size_t count);

struct ModuleBounds {
  uintptr_t start = 0;
  uintptr_t end = 0;  // one past the image
};
ModuleBounds ownModuleBounds();  // the image this code is linked into

}  // namespace zelk::sys
