// The costs are fixed (9 bits a literal, 17 a match of any length or
// distance), so the smallest encoding of a block is found by a backward pass
// that knows the longest match at every position: from there any shorter
// match at the same distance is possible too.
#include "kit/szdd/SzddBlockPlan.h"

#include <algorithm>
#include <cstring>

namespace {

// Fewest bits that encode the block from each position to its end, given
// the longest match at each position. A match at k may end anywhere in
// [k + 3, k + lengths[k]], and that range only moves down as k does (the
// match at k + 1 is at least lengths[k] - 1 long), so the cheapest end in it
// is kept by a queue of candidate ends, cheapest first.
void PlanCosts(const std::uint8_t* lengths, std::size_t count, std::uint32_t* cost) {
  std::uint32_t queue[32];  // ends, in decreasing order and increasing cost, as a ring
  unsigned head = 0, tail = 0;
  cost[count] = 0;
  for (std::size_t k = count; k-- > 0;) {
    std::uint32_t best = cost[k + 1] + SZDD_LITERAL_BITS;
    if (k + SZDD_MIN_MATCH <= count) {
      const std::uint32_t end = static_cast<std::uint32_t>(k + SZDD_MIN_MATCH);
      while (tail != head && cost[queue[(tail - 1) & 31]] >= cost[end]) --tail;
      queue[tail++ & 31] = end;
    }
    // Ends past the range are of no further use; without a match here, those
    // past the longest possible one are not either. That keeps the queue
    // within the 16 ends a match can have.
    const std::uint32_t length = lengths[k];
    const std::size_t last = k + (length >= SZDD_MIN_MATCH ? length : SZDD_MAX_MATCH);
    while (head != tail && queue[head & 31] > last) ++head;
    if (length >= SZDD_MIN_MATCH) best = std::min(best, cost[queue[head & 31]] + SZDD_MATCH_BITS);
    cost[k] = best;
  }
}

// The longest tree walk the compressor makes. Ordinary data never needs as
// many; data made of near-identical records (keys that share all but their
// last bytes) would otherwise walk dozens to hundreds of nodes a byte.
// Cutting there costs such data little size, as a cut walk falls back on the
// match before it shifted by a byte (0.0006% over the best parse on the
// mixed synthetic payload of the benchmark), and ordinary data nothing
// measurable. Fewer steps cut the trees of ordinary data too: on the SDK
// archive 32 steps cost 0.01%, 24 steps 0.35%.
constexpr unsigned SCAN_STEPS = 64;

// The most an open flag byte's group holds: the flag and eight pairs.
constexpr std::size_t OPEN_GROUP_MAX = 1 + 8 * 2;

}  // namespace

TokenWriter::TokenWriter() : bytes_(SZDD_BLOCK_OUTPUT_MAX + OPEN_GROUP_MAX) {}

void TokenWriter::Open() {
  if (tokens_ == 8) {
    flag_ = at_++;
    bytes_[flag_] = 0;
    tokens_ = 0;
  }
}

void TokenWriter::Literal(std::uint8_t byte) {
  Open();
  bytes_[flag_] |= static_cast<std::uint8_t>(1u << tokens_++);
  bytes_[at_++] = byte;
}

void TokenWriter::Match(unsigned windowCell, unsigned length) {
  Open();
  ++tokens_;
  bytes_[at_] = static_cast<std::uint8_t>(windowCell & 0xFF);
  bytes_[at_ + 1] = static_cast<std::uint8_t>(((windowCell >> 4) & 0xF0) | (length - SZDD_MIN_MATCH));
  at_ += 2;
}

void TokenWriter::DropSettled(bool ended) {
  const std::size_t settled = Settled(ended);
  std::memmove(bytes_.data(), bytes_.data() + settled, at_ - settled);
  at_ -= settled;
  flag_ -= std::min(flag_, settled);
}

BlockPlan::BlockPlan()
    : finder_(SCAN_STEPS), lengths_(SZDD_BLOCK_SIZE), distances_(SZDD_BLOCK_SIZE), cost_(SZDD_BLOCK_SIZE + 1) {
  block_.bytes.resize(SZDD_WINDOW_SIZE + SZDD_BLOCK_SIZE + SZDD_LOOKAHEAD);
}

std::uint8_t* BlockPlan::Load(std::size_t begin, std::size_t count) {
  begin_ = begin;
  count_ = count;
  block_.first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin - SZDD_WINDOW_SIZE);
  return block_.bytes.data();
}

void BlockPlan::Plan() {
  const std::uint32_t first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin_);
  finder_.Warm(block_, first);
  finder_.Scan(block_, first, count_, lengths_.data(), distances_.data());
  PlanCosts(lengths_.data(), count_, cost_.data());
}

// Follows the plan: a literal where it costs what the plan says, else the
// shortest match that does.
void BlockPlan::Write(TokenWriter& writer) const {
  const std::uint32_t first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin_);
  const std::uint8_t* input = block_.bytes.data() + SZDD_WINDOW_SIZE;
  const std::uint32_t* cost = cost_.data();
  for (std::size_t k = 0; k < count_;) {
    if (cost[k] == cost[k + 1] + SZDD_LITERAL_BITS) {
      writer.Literal(input[k]);
      ++k;
      continue;
    }
    std::uint32_t length = SZDD_MIN_MATCH;
    while (cost[k + length] + SZDD_MATCH_BITS != cost[k]) ++length;
    const std::uint32_t position = first + static_cast<std::uint32_t>(k);
    writer.Match((position - distances_[k] + SZDD_WINDOW_START) & (SZDD_WINDOW_SIZE - 1), length);
    k += length;
  }
}
