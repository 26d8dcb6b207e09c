// Longest-match search over the SZDD window, shared by the compressor and the
// size of the best parse.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kit/szdd/SzddFormat.h"

// Positions are counted on one line that puts the expander's window of spaces
// right before the input: input byte i sits at SZDD_TEXT_ORIGIN + i and the
// spaces fill the SZDD_WINDOW_SIZE positions before it. The origin leaves
// room below the spaces so that position 0 can stand for "no position": it is
// never within the window of any real one. It is a multiple of the window
// size, so a position's window cell is its low 12 bits shifted by the start.
constexpr std::uint32_t SZDD_TEXT_ORIGIN = 3 * SZDD_WINDOW_SIZE;
constexpr std::uint32_t SZDD_NO_POSITION = 0;

// How far past a position a finder may read: comparisons take 32 bytes, two
// 16-byte vectors, of which the longest match uses the first 18.
constexpr std::size_t SZDD_LOOKAHEAD = 32;

// One block of that line in memory: the window's worth of bytes before the
// block, the block, and the lookahead after it. Bytes past the end of the
// input read as zeros; callers cap match lengths at the input's end.
struct SzddBlock {
  std::vector<std::uint8_t> bytes;
  std::uint32_t first = 0;  // position of bytes[0]

  const std::uint8_t* At(std::uint32_t position) const { return bytes.data() + (position - first); }
};

// Fills block with input bytes [begin, end) and what surrounds them.
void SzddLoadBlock(SzddBlock& block, const std::uint8_t* data, std::size_t size, std::size_t begin, std::size_t end);

struct SzddMatch {
  std::uint32_t length;    // 0 when nothing of SZDD_MIN_MATCH bytes or more
  std::uint32_t distance;  // 1 to SZDD_WINDOW_SIZE back from the position
};

// The exact longest match at every position: a binary tree of the window's
// positions ordered by their next SZDD_MAX_MATCH bytes, one tree per hash of
// the first four bytes. Each position is inserted at the root, so positions
// grow older along every path and the part that has left the window is cut
// off where a search first meets it. Matches of three bytes only are found
// on a chain of positions by a hash of their first three bytes. Every
// position of the line, the window of spaces first, goes through Insert in
// order.
class SzddTreeFinder {
 public:
  // scanSteps bounds the walks of Scan (not those of Insert).
  explicit SzddTreeFinder(unsigned scanSteps = ~0u);

  // Inserts position and returns the longest match starting there against
  // the SZDD_WINDOW_SIZE positions before it. The length is not capped at the
  // input's end. A walk longer than steps cuts the tree where it stops, so
  // that the match is then the longest of those seen; the chain of
  // three-byte matches is held to as many steps.
  SzddMatch Insert(const SzddBlock& block, std::uint32_t position, unsigned steps = ~0u);

  // Inserts the window of spaces that precedes input byte 0; block must be
  // the first one.
  void InsertWindowFill(const SzddBlock& block);

  // Forgets every position it holds and inserts the SZDD_WINDOW_SIZE
  // positions before first, so that a finder starts any block as a new one
  // would: block must be the one that starts at first. What the finder then
  // finds in the block depends on the block's bytes alone, not on the blocks
  // it searched before.
  void Warm(const SzddBlock& block, std::uint32_t first);

  // The compressor's pass over count positions from first on: lengths[k]
  // is 0 where there is no match, and never runs past first + count.
  void Scan(const SzddBlock& block, std::uint32_t first, std::size_t count, std::uint8_t* lengths,
            std::uint16_t* distances);

 private:
  static constexpr unsigned ROOT_BITS = 15;
  static constexpr unsigned HEAD3_BITS = 16;
  static constexpr std::uint32_t NODE_MASK = 2 * SZDD_WINDOW_SIZE - 1;  // a ring that outlives the window
  std::vector<std::uint32_t> roots_;                                    // by a hash of the first four bytes
  std::vector<std::uint32_t> children_;                                 // smaller and larger subtree, per ring slot
  std::vector<std::uint32_t> heads3_;  // newest position, by a hash of the first three bytes
  std::vector<std::uint32_t> older3_;  // per ring slot, the next older position of the same hash
  unsigned scanSteps_;
};
