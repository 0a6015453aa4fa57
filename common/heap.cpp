// heap.cpp: allocation that cannot return null, and the tolerant free.
#include "heap.h"

#include <atomic>

#include "fatal.h"
#include "heap_sys.h"

namespace zelk {

namespace {

std::atomic<long> allocationsMade{0};
std::atomic<long> allocationToRefuse{0};

bool refusedBySeam() {
  const long number = allocationsMade.fetch_add(1, std::memory_order_relaxed) + 1;
  return number == allocationToRefuse.load(std::memory_order_relaxed);
}

void* rawOrNull(size_t size) {
  return refusedBySeam() ? nullptr : sys::heapAllocRaw(size == 0 ? 1 : size);
}

// This image's bounds, looked up once per load; lookups that race find the
// same bounds. Not a function-local static: its guard would bring in the C++
// runtime's lock. The end is stored before the start that publishes it.
std::atomic<uintptr_t> imageStart{0};
std::atomic<uintptr_t> imageEnd{0};

sys::ModuleBounds ownImage() {
  const uintptr_t start = imageStart.load(std::memory_order_acquire);
  if (start != 0) return {start, imageEnd.load(std::memory_order_relaxed)};
  const sys::ModuleBounds image = sys::ownModuleBounds();
  imageEnd.store(image.end, std::memory_order_relaxed);
  imageStart.store(image.start, std::memory_order_release);
  return image;
}

}  // namespace

void* heapAlloc(size_t size) {
  void* block = refusedBySeam() ? nullptr : sys::heapAllocZeroed(size == 0 ? 1 : size);
  if (block == nullptr) fatalOutOfMemory();
  return block;
}

void* heapAllocUncleared(size_t size) {
  void* block = rawOrNull(size);
  if (block == nullptr) fatalOutOfMemory();
  return block;
}

void* heapAllocOrNull(size_t size) { return rawOrNull(size); }

void* pagesAlloc(size_t size) {
  void* block = refusedBySeam() ? nullptr : sys::pagesAllocZeroed(size);
  if (block == nullptr) fatalOutOfMemory();
  return block;
}

void pagesFree(void* block, size_t size) {
  if (block != nullptr) sys::pagesRelease(block, size);
}

void refuseAllocationNumber(long number) {
  allocationToRefuse.store(number, std::memory_order_relaxed);
}

long allocationsCounted() { return allocationsMade.load(std::memory_order_relaxed); }

bool isReleasable(const void* block) {
  const auto address = reinterpret_cast<uintptr_t>(block);
  if (address < 0x10000) return false;  // null and small handles
  const sys::ModuleBounds image = ownImage();
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
