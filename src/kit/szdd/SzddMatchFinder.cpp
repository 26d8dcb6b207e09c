#include "kit/szdd/SzddMatchFinder.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// How a window string compares with the current one over SZDD_MAX_MATCH
// bytes: the length they share and, when that is short of the cap, whether
// the window string is the larger at the first difference.
struct Comparison {
  std::uint32_t length;
  unsigned larger;
};

#if defined(__SSE2__)
// Sixteen bytes at a time: masks of the bytes that are equal and of those
// where the window string is at least as large, so that neither the length
// nor the direction waits on a branch or a further load. Reads 32 bytes of
// each string (the lookahead covers them).
struct Key {
  __m128i low, high;
  explicit Key(const std::uint8_t* p)
      : low(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
        high(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16))) {}
};

Comparison Compare(const std::uint8_t* other, const Key& current) {
  const Key key(other);
  const std::uint32_t equal = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(key.low, current.low))) |
                              static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(key.high, current.high)))
                                  << 16;
  const std::uint32_t atLeast =
      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(key.low, current.low), key.low))) |
      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(key.high, current.high), key.high)))
          << 16;
  // The direction comes from the lowest differing byte isolated as a bit,
  // which is quicker than waiting for the count of the bytes before it.
  const std::uint32_t differ = ~equal | (1u << SZDD_MAX_MATCH);
  const std::uint32_t first = differ & (0u - differ);
  return {static_cast<std::uint32_t>(__builtin_ctz(differ)), (atLeast & ~equal & first) != 0 ? 1u : 0u};
}
#else
// Eight bytes at a time where there is no SSE2 (the 32-bit builds). Reads 24
// bytes of each string.
struct Key {
  const std::uint8_t* bytes;
  explicit Key(const std::uint8_t* p) : bytes(p) {}
};

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Comparison Compare(const std::uint8_t* other, const Key& current) {
  std::uint32_t length = SZDD_MAX_MATCH;
  for (unsigned word = 0; word < 24; word += 8) {
    const std::uint64_t x = Load64(other + word) ^ Load64(current.bytes + word);
    if (x) {
      length = std::min<std::uint32_t>(SZDD_MAX_MATCH, word + static_cast<std::uint32_t>(__builtin_ctzll(x)) / 8);
      break;
    }
  }
  if (length == SZDD_MAX_MATCH) return {length, 0};
  return {length, other[length] > current.bytes[length] ? 1u : 0u};
}
#endif

std::uint32_t Hash3(const std::uint8_t* p, unsigned bits) {
  const std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return (v * 2654435761u) >> (32 - bits);
}

std::uint32_t Hash4(const std::uint8_t* p, unsigned bits) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
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
      heads3_(1u << HEAD3_BITS, SZDD_NO_POSITION),
      older3_(NODE_MASK + 1, SZDD_NO_POSITION),
      scanSteps_(scanSteps) {}

void SzddTreeFinder::InsertWindowFill(const SzddBlock& block) {
  for (std::uint32_t p = SZDD_TEXT_ORIGIN - SZDD_WINDOW_SIZE; p < SZDD_TEXT_ORIGIN; ++p) Insert(block, p);
}

SzddMatch SzddTreeFinder::Insert(const SzddBlock& block, std::uint32_t position, unsigned steps) {
  const unsigned steps0 = steps;
  const std::uint8_t* current = block.At(position);
  std::uint32_t& root = roots_[Hash4(current, ROOT_BITS)];
  std::uint32_t candidate = root;
  root = position;
  std::uint32_t& head3 = heads3_[Hash3(current, HEAD3_BITS)];
  const std::uint32_t older3 = head3;
  older3_[position & NODE_MASK] = older3;
  head3 = position;

  // smallerLink is where the next candidate found smaller than the current
  // string hangs, largerLink where the next larger one does.
  std::uint32_t* smallerLink = &children_[2 * (position & NODE_MASK)];
  std::uint32_t* largerLink = smallerLink + 1;
  const Key key(current);
  std::uint32_t bestLength = 0, bestDistance = 0;
  for (;;) {
    const std::uint32_t distance = position - candidate;  // huge for SZDD_NO_POSITION
    if (distance > SZDD_WINDOW_SIZE || steps-- == 0) {
      *smallerLink = *largerLink = SZDD_NO_POSITION;
      break;
    }
    // The walk is a chain of dependent loads. Both children are fetched
    // while the strings are compared, and the turn is a branch: when the CPU
    // guesses it, the next node's loads start before the comparison is done.
    // (As a select that waits for the comparison, the walk took 40% longer.)
    std::uint32_t* pair = &children_[2 * (candidate & NODE_MASK)];
    const std::uint32_t smallerChild = pair[0], largerChild = pair[1];
    const Comparison c = Compare(current - distance, key);
    const bool longer = c.length > bestLength;
    bestDistance = longer ? distance : bestDistance;
    bestLength = longer ? c.length : bestLength;
    if (c.length == SZDD_MAX_MATCH) {
      // Same key as the current string, and older: the current one takes its
      // place and its subtrees.
      *smallerLink = smallerChild;
      *largerLink = largerChild;
      break;
    }
    // A larger candidate hangs where the next larger one goes, and the walk
    // continues into its smaller subtree; a smaller one the other way round.
    if (c.larger) {
      *largerLink = candidate;
      largerLink = &pair[0];
      candidate = smallerChild;
    } else {
      *smallerLink = candidate;
      smallerLink = &pair[1];
      candidate = largerChild;
    }
  }
  // Nothing of four bytes or more: the newest string with the same first
  // three bytes, if the window has one, is the match. The first one on the
  // chain whose bytes agree is the newest; others share only the hash. The
  // chain is held to as many steps as the walk, since strings made to share
  // the hash could make it as long as the window.
  if (bestLength < SZDD_MIN_MATCH) {
    unsigned chainSteps = steps0;
    for (std::uint32_t other = older3; position - other - 1 < SZDD_WINDOW_SIZE && chainSteps-- != 0;
         other = older3_[other & NODE_MASK]) {
      const std::uint8_t* bytes = current - (position - other);
      if (bytes[0] == current[0] && bytes[1] == current[1] && bytes[2] == current[2]) {
        bestLength = SZDD_MIN_MATCH;
        bestDistance = position - other;
        break;
      }
    }
  }
  SzddMatch best = {bestLength, bestDistance};
  if (best.length < SZDD_MIN_MATCH) best = {0, 0};
  return best;
}

void SzddTreeFinder::Warm(const SzddBlock& block, std::uint32_t first) {
  // Every node is reached from a root or a chain head, and a node's links are
  // set when it is inserted: clearing those forgets the rest.
  std::fill(roots_.begin(), roots_.end(), SZDD_NO_POSITION);
  std::fill(heads3_.begin(), heads3_.end(), SZDD_NO_POSITION);
  for (std::uint32_t p = first - SZDD_WINDOW_SIZE; p < first; ++p) Insert(block, p);
}

void SzddTreeFinder::Scan(const SzddBlock& block, std::uint32_t first, std::size_t count, std::uint8_t* lengths,
                          std::uint16_t* distances) {
  // The match at one position, shifted by a byte, is a match at the next. A
  // walk cut short can miss it; the parse relies on lengths never dropping by
  // more than one from one position to the next, so it is taken instead.
  SzddMatch previous = {0, 0};
  for (std::size_t k = 0; k < count; ++k) {
    SzddMatch best = Insert(block, first + static_cast<std::uint32_t>(k), scanSteps_);
    if (previous.length > best.length + 1) best = {previous.length - 1, previous.distance};
    const std::uint32_t room = static_cast<std::uint32_t>(count - k);
    if (best.length > room) best.length = room;
    if (best.length < SZDD_MIN_MATCH) best = {0, 0};
    lengths[k] = static_cast<std::uint8_t>(best.length);
    distances[k] = static_cast<std::uint16_t>(best.distance);
    previous = best;
  }
}
