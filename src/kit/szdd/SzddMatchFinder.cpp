#include "kit/szdd/SzddMatchFinder.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Bytes that a and b have in common from the start, up to SZDD_MAX_MATCH.
// Reads 24 bytes of each (the lookahead covers them).
std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b) {
  std::uint64_t x = Load64(a) ^ Load64(b);
  if (x) return static_cast<std::uint32_t>(__builtin_ctzll(x)) / 8;
  x = Load64(a + 8) ^ Load64(b + 8);
  if (x) return 8 + static_cast<std::uint32_t>(__builtin_ctzll(x)) / 8;
  x = Load64(a + 16) ^ Load64(b + 16);
  if (x) return std::min<std::uint32_t>(SZDD_MAX_MATCH, 16 + static_cast<std::uint32_t>(__builtin_ctzll(x)) / 8);
  return SZDD_MAX_MATCH;
}

std::uint32_t Hash3(const std::uint8_t* p, unsigned bits) {
  const std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return (v * 2654435761u) >> (32 - bits);
}

}  // namespace

void SzddLoadBlock(SzddBlock& block, const std::uint8_t* data, std::size_t size, std::size_t begin, std::size_t end) {
  const std::size_t total = SZDD_WINDOW_SIZE + (end - begin) + SZDD_LOOKAHEAD;
  block.bytes.assign(total, 0);
  block.first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin - SZDD_WINDOW_SIZE);

  // History: spaces where it reaches before the input.
  std::uint8_t* out = block.bytes.data();
  const std::size_t spaces = begin < SZDD_WINDOW_SIZE ? SZDD_WINDOW_SIZE - begin : 0;
  std::memset(out, SZDD_WINDOW_FILL, spaces);
  const std::size_t from = begin - (SZDD_WINDOW_SIZE - spaces);
  const std::size_t count = std::min(size, end + SZDD_LOOKAHEAD) - from;
  if (count > 0) std::memcpy(out + spaces, data + from, count);
}

SzddTreeFinder::SzddTreeFinder(unsigned scanSteps)
    : roots_(1u << ROOT_BITS, SZDD_NO_POSITION),
      children_(2 * (NODE_MASK + 1), SZDD_NO_POSITION),
      scanSteps_(scanSteps) {}

void SzddTreeFinder::InsertWindowFill(const SzddBlock& block) {
  for (std::uint32_t p = SZDD_TEXT_ORIGIN - SZDD_WINDOW_SIZE; p < SZDD_TEXT_ORIGIN; ++p) Insert(block, p);
}

SzddMatch SzddTreeFinder::Insert(const SzddBlock& block, std::uint32_t position, unsigned steps) {
  const std::uint8_t* current = block.At(position);
  std::uint32_t& root = roots_[Hash3(current, ROOT_BITS)];
  std::uint32_t candidate = root;
  root = position;

  // links[0] is where the next candidate found smaller than the current
  // string hangs, links[1] where the next larger one does. The direction is
  // taken as an index rather than a branch: it is a coin toss to the CPU.
  std::uint32_t* links[2] = {&children_[2 * (position & NODE_MASK)], &children_[2 * (position & NODE_MASK) + 1]};
  SzddMatch best = {0, 0};
  for (;;) {
    const std::uint32_t distance = position - candidate;  // huge for SZDD_NO_POSITION
    if (distance > SZDD_WINDOW_SIZE || steps-- == 0) {
      *links[0] = *links[1] = SZDD_NO_POSITION;
      break;
    }
    const std::uint8_t* other = current - distance;
    const std::uint32_t length = CommonLength(other, current);
    if (length > best.length) best = {length, distance};
    std::uint32_t* pair = &children_[2 * (candidate & NODE_MASK)];
    if (length == SZDD_MAX_MATCH) {
      // Same key as the current string, and older: the current one takes its
      // place and its subtrees.
      *links[0] = pair[0];
      *links[1] = pair[1];
      break;
    }
    const unsigned larger = other[length] > current[length];
    *links[larger] = candidate;
    links[larger] = &pair[larger ^ 1];
    candidate = pair[larger ^ 1];
  }
  if (best.length < SZDD_MIN_MATCH) best = {0, 0};
  return best;
}

void SzddTreeFinder::Warm(const SzddBlock& block, std::uint32_t first) {
  if (first == SZDD_TEXT_ORIGIN) {
    InsertWindowFill(block);
  } else {
    for (std::uint32_t p = first - SZDD_WINDOW_SIZE; p < first; ++p) Insert(block, p);
  }
}

void SzddTreeFinder::Scan(const SzddBlock& block, std::uint32_t first, std::size_t count, std::uint8_t* lengths,
                          std::uint16_t* distances) {
  for (std::size_t k = 0; k < count; ++k) {
    SzddMatch best = Insert(block, first + static_cast<std::uint32_t>(k), scanSteps_);
    const std::uint32_t room = static_cast<std::uint32_t>(count - k);
    if (best.length > room) best.length = room;
    if (best.length < SZDD_MIN_MATCH) best = {0, 0};
    lengths[k] = static_cast<std::uint8_t>(best.length);
    distances[k] = static_cast<std::uint16_t>(best.distance);
  }
}
