// memory.cpp: allocation with the tool's fatal box on refusal.
#include "memory.h"

#include <cstdlib>

#include "tool_fatal.h"

namespace tarvex {

void* allocateOrDie(size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) fatalAllocationFailed(bytes);
  return block;
}

void releaseBlock(void* block) { std::free(block); }

}  // namespace tarvex
