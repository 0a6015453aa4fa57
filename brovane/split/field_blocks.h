// field_blocks.h: the separator search a block of 64 bytes at a time, for
// separators made of whole characters.
//
// A byte is the trail of a two-byte character exactly when an odd run of
// high bytes (0x80 or more) ends just before it; bit arithmetic finds those
// bytes for a whole block, so a separator's first byte is matched at every
// character boundary of the block at once. After a separator of whole
// characters the scan is at a character boundary anyway, so the field split's
// fresh start after each separator needs no work of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"
#include "split/field_scan.h"

namespace brovane::split {

namespace blockpath {

enum class Level {
  scalar = static_cast<int>(simd::Level::scalar),
  sse2 = static_cast<int>(simd::Level::sse2),
  avx2 = static_cast<int>(simd::Level::avx2),
};

bool runs(Level level);  // whether this processor has the instructions
Level bestLevel();       // the fastest path that runs here

// For each of `blocks` blocks of 64 bytes from bytes: bit i of equal[b] is
// set when byte i of block b is `byte`, of high[b] when it is 0x80 or more.
using MaskFunction = void (*)(const unsigned char* bytes, size_t blocks, unsigned char byte,
                              uint64_t* equal, uint64_t* high);
MaskFunction maskFunction(Level level);  // the level must run

// A count of one-byte separators over whole blocks: how many, the position
// just past the last one (from the first block counted; kept when none),
// and the trail carry (as trailBits takes it).
struct BlockCount {
  uint64_t total = 0;
  size_t end = 0;
  uint64_t carry = 0;
};

// Counts the separators `byte` (below 0x80) of up to `blocks` blocks from
// bytes into *count, stopping before the block that would take the total
// past limit; returns the blocks counted.
using CountFunction = size_t (*)(const unsigned char* bytes, size_t blocks, unsigned char byte,
                                 uint64_t limit, BlockCount* count);
CountFunction countFunction(Level level);  // the level must run

}  // namespace blockpath

// The bytes of a block that are trails of two-byte characters, given its high
// bytes; *carry is 1 when the block's first byte is a trail, and becomes 1
// when the next block's is. A block is as many bytes as Word has bits, so a
// 32-bit target may take a 64-byte block as two words.
template <class Word>
inline Word trailBits(Word high, Word* carry) {
  constexpr Word oddBits = static_cast<Word>(0xAAAAAAAAAAAAAAAAull);
  const Word mayLead = high & ~*carry;
  // Subtracting each run of possible leads from the ones above it turns the
  // run into alternating bits from its start; the odd bits undo the offset.
  const Word leadsAndTrails = static_cast<Word>((((mayLead << 1) | oddBits) - mayLead) ^ oddBits);
  const Word trails = leadsAndTrails ^ (high | *carry);
  *carry = (leadsAndTrails & high) >> (8 * sizeof(Word) - 1);
  return trails;
}

// Whether separator read on its own ends at a character boundary (no lead
// byte left without its trail).
bool wholeCharacters(Span separator);

// The separators of a text in order, as the field split meets them (each
// after the end of the one before), for a separator of whole characters.
class MatchCursor {
 public:
  MatchCursor(Span text, Span separator, blockpath::Level level = blockpath::bestLevel());

  bool next(size_t* at);               // the next separator's position; false when none is left
  uint64_t skip(uint64_t count);       // passes up to count separators; returns how many
  size_t end() const { return end_; }  // just past the last separator passed (0: none yet)

 private:
  bool nextBlock();  // the candidates of the next block; false past the last one
  bool nextBatch();
  size_t unloaded() const { return batchBase_ + 64 * batchCount_; }  // the next block to load
  uint64_t countWholeBlocks(uint64_t limit);
  void fillBatch();

  static constexpr size_t batchBlocks = 8;

  const unsigned char* bytes_;
  size_t length_;
  Span separator_;
  size_t lastStart_ = 0;  // the last position a separator fits at
  bool done_ = false;
  blockpath::MaskFunction masks_;
  blockpath::CountFunction count_;
  uint64_t equal_[batchBlocks], high_[batchBlocks];
  size_t batchBase_ = 0, batchCount_ = 0, batchNext_ = 0;
  size_t base_ = 0;       // the current block's position in the text
  uint64_t pending_ = 0;  // its candidates not taken yet
  uint64_t carry_ = 0;
  size_t from_ = 0;  // a separator may start here or later
  size_t end_ = 0;
  unsigned char tail_[64];
};

}  // namespace brovane::split
