// heap.cpp: allocation that cannot return null, and the tolerant free.
#include "heap.h"

#include "fatal.h"
#include "heap_sys.h"

namespace zelk {

void* heapAlloc(size_t size) {
  void* block = sys::heapAllocZeroed(size == 0 ? 1 : size);
  if (block == nullptr) fatalOutOfMemory();
  return block;
}

void* heapAllocUncleared(size_t size) {
  void* block = sys::heapAllocRaw(size == 0 ? 1 : size);
  if (block == nullptr) fatalOutOfMemory();
  return block;
}

bool isReleasable(const void* block) {
  const auto address = reinterpret_cast<uintptr_t>(block);
  if (address < 0x10000) return false;  // null and small handles
  static const sys::ModuleBounds image = sys::ownModuleBounds();
  if (address >= image.start && address < image.end) return false;  // constants
  return sys::isReadable(block, 8);
}

void heapFree(const void* block) {
  if (isReleasable(block)) sys::heapRelease(const_cast<void*>(block));
}

void heapFreeOwn(void* block) {
  if (block != nullptr) sys::heapRelease(block);
}

}  // namespace zelk
