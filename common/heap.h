// heap.h: zero-filled process-heap memory and the tolerant free.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelk {

// Zero-filled block from the process heap; a refusal ends the process
// through the out-of-memory box (fatal.h), so the result is never null.
void* heapAlloc(size_t size);

// The same without the zero fill, for a block that its caller writes in full
// before anyone reads it: then it holds what a zero-filled block would.
void* heapAllocUncleared(size_t size);

// Gives a block back unless it is one that must be left alone: null, a value
// below 0x10000, a constant inside this module's image, or memory at which
// 8 bytes cannot be read.
void heapFree(const void* block);

// The rule of heapFree on its own, for tests.
bool isReleasable(const void* block);

// Gives back a block that heapAlloc or heapAllocUncleared returned, or does
// nothing for null: the library's own blocks need none of heapFree's checks,
// whose readability probe costs a system call on some platforms.
void heapFreeOwn(void* block);

// A block for memory whose refusal its caller absorbs (a send refused, a
// connect failed): null when refused, and no box.
void* heapAllocOrNull(size_t size);

// Zero-filled pages from the system for a large block that lives as long as
// a load: its free gives them back, where a host's allocator may keep a big
// freed heap block. A refusal ends the process as heapAlloc's does.
void* pagesAlloc(size_t size);             // size above 0
void pagesFree(void* block, size_t size);  // null: nothing

// The allocation seam: every allocation above, and the library's operator
// new through them, is counted; the one whose number is set here is refused
// as if the system had refused it. Nothing in the libraries sets it: a test
// build exports it, to fail each allocation of a run in turn.
void refuseAllocationNumber(long number);  // 0: none
long allocationsCounted();

// Owned texts and byte strings hold only blocks of heapAlloc.
struct HeapDeleter {
  void operator()(const void* block) const { heapFreeOwn(const_cast<void*>(block)); }
};

}  // namespace zelk
