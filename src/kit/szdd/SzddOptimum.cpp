// The size of the smallest SZDD stream for an input, the yardstick for the
// compressor: a forward pass over the whole input (no block boundaries) with
// the exact longest match at every position.
#include <algorithm>
#include <limits>

#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/SzddMatchFinder.h"

std::uint64_t SzddOptimalSize(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t BLOCK_SIZE = 1u << 20;
  constexpr std::uint64_t UNREACHED = std::numeric_limits<std::uint64_t>::max();

  // reach[(i + k) % RING]: fewest bits that encode the first i + k bytes, as
  // known when byte i is next; a match ends at most SZDD_MAX_MATCH ahead.
  constexpr std::size_t RING = 32;
  std::uint64_t reach[RING];
  std::fill(reach, reach + RING, UNREACHED);
  reach[0] = 0;

  SzddTreeFinder finder;
  SzddBlock block;
  for (std::size_t begin = 0; begin < size; begin += BLOCK_SIZE) {
    const std::size_t end = std::min(size, begin + BLOCK_SIZE);
    SzddLoadBlock(block, data, size, begin, end);
    if (begin == 0) finder.InsertWindowFill(block);
    for (std::size_t i = begin; i < end; ++i) {
      const SzddMatch m = finder.Insert(block, static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + i));
      const std::uint64_t here = reach[i % RING];
      reach[i % RING] = UNREACHED;
      std::uint64_t& next = reach[(i + 1) % RING];
      next = std::min(next, here + SZDD_LITERAL_BITS);
      const std::size_t longest = std::min<std::size_t>(m.length, size - i);
      for (std::size_t length = SZDD_MIN_MATCH; length <= longest; ++length) {
        std::uint64_t& there = reach[(i + length) % RING];
        there = std::min(there, here + SZDD_MATCH_BITS);
      }
    }
  }
  // Literals and pairs fill whole bytes, so rounding the bits up rounds up
  // only the flag bits of the last flag byte.
  return SZDD_HEADER_SIZE + (reach[size % RING] + 7) / 8;
}
