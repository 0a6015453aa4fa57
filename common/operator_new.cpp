// operator_new.cpp: the library's C++ allocations on its own heap, so that a
// refusal ends as every other one does (the out-of-memory box) instead of an
// exception that nobody catches. Never exported: the host keeps its own.
#include <new>

#include "heap.h"

void* operator new(std::size_t size) { return zelk::heapAllocUncleared(size); }
void* operator new[](std::size_t size) { return zelk::heapAllocUncleared(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return zelk::heapAllocUncleared(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return zelk::heapAllocUncleared(size);
}
void operator delete(void* block) noexcept { zelk::heapFreeOwn(block); }
void operator delete[](void* block) noexcept { zelk::heapFreeOwn(block); }
void operator delete(void* block, std::size_t) noexcept { zelk::heapFreeOwn(block); }
void operator delete[](void* block, std::size_t) noexcept { zelk::heapFreeOwn(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { zelk::heapFreeOwn(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { zelk::heapFreeOwn(block); }
