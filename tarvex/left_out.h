// left_out.h: the box that names the files a list left out.
#pragma once

#include <cstddef>

#include "memory.h"

namespace tarvex {

inline constexpr size_t leftOutShownAtMost = 20;  // the box stays within a screen

// The reason, a blank line, then one name a line; past leftOutShownAtMost
// names, a last line with the count of the others.
String leftOutText(const NameList& names);

// Shows that text in a box owned by no window.
void showLeftOut(const NameList& names);

}  // namespace tarvex
