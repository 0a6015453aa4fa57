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

void refuseAllocationNumber(long number) {
  allocationToRefuse.store(number, std::memory_order_relaxed);
}

long allocationsCounted() { return allocationsMade.load(std::memory_order_relaxed); }

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
