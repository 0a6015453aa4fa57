// memory.h: the tool's allocation path; a refusal ends the program through
// its own fatal box, so an allocation never returns null.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarvex {

void* allocateOrDie(size_t bytes);
void releaseBlock(void* block);

// Standard containers allocate through allocateOrDie.
template <class T>
struct Allocator {
  using value_type = T;
  Allocator() = default;
  template <class U>
  Allocator(const Allocator<U>&) noexcept {}

  T* allocate(size_t count) {
    const size_t bytes = count <= SIZE_MAX / sizeof(T) ? count * sizeof(T) : SIZE_MAX;
    return static_cast<T*>(allocateOrDie(bytes));
  }
  void deallocate(T* block, size_t) noexcept { releaseBlock(block); }

  template <class U>
  bool operator==(const Allocator<U>&) const noexcept {
    return true;
  }
};

// The tool's string: bytes in the machine's ANSI code page (GBK), never
// converted.
using String = std::basic_string<char, std::char_traits<char>, Allocator<char>>;

// The names of the listed files, in the platform's enumeration order.
using NameList = std::vector<String, Allocator<String>>;

}  // namespace tarvex
