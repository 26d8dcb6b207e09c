#include "kit/szdd/SzddMatchFinder.h"

#include <algorithm>
#include <cstring>

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

SzddTreeFinder::SzddTreeFinder() : roots_(1u << 16, SZDD_NO_POSITION), children_(2 * (NODE_MASK + 1), SZDD_NO_POSITION) {}

void SzddTreeFinder::InsertWindowFill(const SzddBlock& block) {
  for (std::uint32_t p = SZDD_TEXT_ORIGIN - SZDD_WINDOW_SIZE; p < SZDD_TEXT_ORIGIN; ++p) Insert(block, p);
}

SzddMatch SzddTreeFinder::Insert(const SzddBlock& block, std::uint32_t position) {
  const std::uint8_t* current = block.At(position);
  std::uint32_t& root = roots_[current[0] | (current[1] << 8)];
  std::uint32_t candidate = root;
  root = position;

  // Where the next candidate found smaller (larger) than the current string
  // hangs, and how many bytes the current string shares with everything on
  // that side: the walk never compares those again.
  std::uint32_t* smallerLink = &children_[2 * (position & NODE_MASK)];
  std::uint32_t* largerLink = smallerLink + 1;
  std::uint32_t smallerLength = 2, largerLength = 2;
  SzddMatch best = {0, 0};

  for (;;) {
    const std::uint32_t distance = position - candidate;
    if (candidate == SZDD_NO_POSITION || distance > SZDD_WINDOW_SIZE) {
      *smallerLink = *largerLink = SZDD_NO_POSITION;
      break;
    }
    const std::uint8_t* other = block.At(candidate);
    std::uint32_t length = std::min(smallerLength, largerLength);
    while (length < SZDD_MAX_MATCH && other[length] == current[length]) ++length;
    if (length > best.length) best = {length, distance};

    std::uint32_t* pair = &children_[2 * (candidate & NODE_MASK)];
    if (length == SZDD_MAX_MATCH) {
      // Same key as the current string, and older: the current one takes its
      // place and its subtrees.
      *smallerLink = pair[0];
      *largerLink = pair[1];
      break;
    }
    if (other[length] < current[length]) {
      *smallerLink = candidate;
      smallerLink = &pair[1];
      candidate = pair[1];
      smallerLength = length;
    } else {
      *largerLink = candidate;
      largerLink = &pair[0];
      candidate = pair[0];
      largerLength = length;
    }
  }
  if (best.length < SZDD_MIN_MATCH) best = {0, 0};
  return best;
}
