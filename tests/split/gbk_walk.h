// gbk_walk.h: the tests' model of the field split's walk over a GBK text,
// character by character, shared by the split and block-search tests.
#pragma once

#include <string>
#include <vector>

// The separators' positions as the field split meets them, character by
// character, starting afresh after each separator.
inline std::vector<size_t> walkPositions(const std::string& text, const std::string& separator) {
  std::vector<size_t> positions;
  if (text.empty() || separator.empty()) return positions;
  size_t cursor = 0;
  while (text.size() - cursor >= separator.size()) {
    if (text.compare(cursor, separator.size(), separator) == 0) {
      positions.push_back(cursor);
      cursor += separator.size();
    } else if (static_cast<unsigned char>(text[cursor]) < 0x80) {
      ++cursor;
    } else if (cursor + 1 == text.size()) {
      break;
    } else {
      cursor += 2;
    }
  }
  return positions;
}
