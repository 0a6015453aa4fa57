// heap_sys_win32.cpp: process heap, image bounds and readability on Windows.
#include <windows.h>

#include "heap_sys.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this module's load address

namespace zelk::sys {

static HANDLE processHeap() { return GetProcessHeap(); }  // read from the process block

void* heapAllocZeroed(size_t size) { return HeapAlloc(processHeap(), HEAP_ZERO_MEMORY, size); }

void* heapAllocRaw(size_t size) { return HeapAlloc(processHeap(), 0, size); }

void heapRelease(void* block) { HeapFree(processHeap(), 0, block); }

void* pagesAllocZeroed(size_t size) {
  return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void pagesRelease(void* block, size_t) { VirtualFree(block, 0, MEM_RELEASE); }

bool isReadable(const void* address, size_t count) { return !IsBadReadPtr(address, count); }

ModuleBounds ownModuleBounds() {
  const auto start = reinterpret_cast<uintptr_t>(&__ImageBase);
  const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(start + __ImageBase.e_lfanew);
  return {start, start + nt->OptionalHeader.SizeOfImage};
}

}  // namespace zelk::sys
