// field_blocks.cpp: the separators of a text, found a block at a time.
#include "split/field_blocks.h"

#include <cstring>

namespace brovane::split {

bool wholeCharacters(Span separator) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(separator.bytes);
  size_t i = 0;
  while (i < separator.length) i += bytes[i] >= 0x80 ? 2 : 1;
  return i == separator.length;
}

MatchCursor::MatchCursor(Span text, Span separator, blockpath::Level level)
    : bytes_(reinterpret_cast<const unsigned char*>(text.bytes)),
      length_(text.length),
      separator_(separator),
      masks_(blockpath::maskFunction(level)),
      count_(blockpath::countFunction(level)) {
  done_ = text.length == 0 || separator.length == 0 || text.length < separator.length;
  if (!done_) lastStart_ = text.length - separator.length;
}

// The masks of up to batchBlocks blocks from batchBase_; a last block that
// the text does not fill is read from a copy padded with zero bytes, which
// are neither high nor any separator's first byte.
void MatchCursor::fillBatch() {
  const size_t needed = (lastStart_ - batchBase_) / 64 + 1;  // blocks up to lastStart_
  const size_t whole = (length_ - batchBase_) / 64;
  batchCount_ = needed < whole ? needed : whole;
  if (batchCount_ > batchBlocks) batchCount_ = batchBlocks;
  const unsigned char first = static_cast<unsigned char>(separator_.bytes[0]);
  if (batchCount_ > 0) {
    masks_(bytes_ + batchBase_, batchCount_, first, equal_, high_);
  } else {
    const size_t rest = length_ - batchBase_;
    std::memcpy(tail_, bytes_ + batchBase_, rest);
    std::memset(tail_ + rest, 0, sizeof tail_ - rest);
    masks_(tail_, 1, first, equal_, high_);
    batchCount_ = 1;
  }
  batchNext_ = 0;
}

namespace {

// Set bits without the processor's instruction, which the baseline lacks.
inline uint64_t bitCount(uint64_t bits) {
  bits -= bits >> 1 & 0x5555555555555555ull;
  bits = (bits & 0x3333333333333333ull) + (bits >> 2 & 0x3333333333333333ull);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return bits * 0x0101010101010101ull >> 56;
}

}  // namespace

// The next batch's masks; false past the last block.
bool MatchCursor::nextBatch() {
  if (done_) return false;
  batchBase_ = unloaded();
  batchCount_ = batchNext_ = 0;
  if (batchBase_ > lastStart_) {
    done_ = true;
    return false;
  }
  fillBatch();
  return true;
}

inline bool MatchCursor::nextBlock() {
  if (batchNext_ == batchCount_ && !nextBatch()) return false;
  base_ = batchBase_ + 64 * batchNext_;
  pending_ = equal_[batchNext_] & ~trailBits(high_[batchNext_], &carry_);
  ++batchNext_;
  if (lastStart_ - base_ < 63) pending_ &= (uint64_t{2} << (lastStart_ - base_)) - 1;
  return true;
}

bool MatchCursor::next(size_t* at) {
  for (;;) {
    while (pending_ == 0)
      if (!nextBlock()) return false;
    const size_t position = base_ + static_cast<size_t>(__builtin_ctzll(pending_));
    pending_ &= pending_ - 1;
    if (position < from_) continue;  // inside the separator before
    if (separator_.length > 1 &&
        std::memcmp(bytes_ + position + 1, separator_.bytes + 1, separator_.length - 1) != 0)
      continue;
    from_ = end_ = position + separator_.length;
    *at = position;
    return true;
  }
}

// Between batches, the blocks that lie wholly before lastStart_ are counted
// straight from the text, up to limit separators.
uint64_t MatchCursor::countWholeBlocks(uint64_t limit) {
  const size_t from = unloaded();
  if (done_ || from > lastStart_) return 0;
  blockpath::BlockCount count;
  count.carry = carry_;
  const size_t blocks = count_(bytes_ + from, (lastStart_ + 1 - from) / 64,
                               static_cast<unsigned char>(separator_.bytes[0]), limit, &count);
  batchBase_ = from + 64 * blocks;
  batchCount_ = batchNext_ = 0;
  carry_ = count.carry;
  if (count.total) from_ = end_ = from + count.end;
  return count.total;
}

uint64_t MatchCursor::skip(uint64_t count) {
  uint64_t passed = 0;
  // A one-byte separator matches at every candidate: whole blocks are counted.
  while (separator_.length == 1 && passed < count) {
    if (pending_ == 0 && batchNext_ == batchCount_) {
      passed += countWholeBlocks(count - passed);
      if (passed == count) break;
    }
    if (pending_ == 0) {
      if (!nextBlock()) return passed;
      continue;
    }
    const uint64_t here = bitCount(pending_);
    if (here > count - passed) break;
    passed += here;
    from_ = end_ = base_ + 64 - static_cast<size_t>(__builtin_clzll(pending_));
    pending_ = 0;
  }
  size_t at;
  while (passed < count && next(&at)) ++passed;
  return passed;
}

}  // namespace brovane::split
