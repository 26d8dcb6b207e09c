// The SZDD compressor. The costs are fixed (9 bits a literal, 17 a match of
// any length or distance), so the smallest output is found by a backward pass
// over each block that knows the longest match at every position: from there
// any shorter match at the same distance is possible too.
#include <algorithm>

#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/SzddMatchFinder.h"

namespace {

// Input bytes parsed at a time. Matches do not cross a block's end, which
// costs a few bits per block at most.
constexpr std::size_t BLOCK_SIZE = 1u << 20;

// Appends tokens behind flag bytes, eight tokens to a flag byte, the first
// token in its least significant bit; 1 marks a literal.
struct TokenWriter {
  std::vector<std::uint8_t>& out;
  std::size_t flagAt = 0;
  unsigned tokens = 8;  // in the current flag byte; 8 means none open

  void Open() {
    if (tokens == 8) {
      flagAt = out.size();
      out.push_back(0);
      tokens = 0;
    }
  }
  void Literal(std::uint8_t byte) {
    Open();
    out[flagAt] |= static_cast<std::uint8_t>(1u << tokens++);
    out.push_back(byte);
  }
  void Match(unsigned windowCell, unsigned length) {
    Open();
    ++tokens;
    out.push_back(static_cast<std::uint8_t>(windowCell & 0xFF));
    out.push_back(static_cast<std::uint8_t>(((windowCell >> 4) & 0xF0) | (length - SZDD_MIN_MATCH)));
  }
};

}  // namespace

bool SzddCompress(const std::uint8_t* data, std::size_t size, char lastChar, std::vector<std::uint8_t>& out,
                  std::string& error, const SzddProgress& progress) {
  out.clear();
  if (static_cast<std::uint64_t>(size) > SZDD_MAX_INPUT) {
    error = "input of " + std::to_string(size) + " bytes is too large for SZDD (2 GiB or more)";
    return false;
  }
  out.reserve(SZDD_HEADER_SIZE + size + size / 8 + 1);
  out.resize(SZDD_HEADER_SIZE);
  SzddWriteHeader(out.data(), lastChar, static_cast<std::uint32_t>(size));

  SzddTreeFinder finder;
  SzddBlock block;
  TokenWriter writer{out};
  std::vector<std::uint8_t> lengths(BLOCK_SIZE);
  std::vector<std::uint16_t> distances(BLOCK_SIZE);
  std::vector<std::uint32_t> cost(BLOCK_SIZE + 1);
  std::vector<std::uint8_t> choice(BLOCK_SIZE);

  for (std::size_t begin = 0; begin < size; begin += BLOCK_SIZE) {
    const std::size_t end = std::min(size, begin + BLOCK_SIZE);
    const std::size_t count = end - begin;
    SzddLoadBlock(block, data, size, begin, end);
    if (begin == 0) finder.InsertWindowFill(block);

    const std::uint32_t first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin);
    for (std::size_t k = 0; k < count; ++k) {
      SzddMatch m = finder.Insert(block, first + static_cast<std::uint32_t>(k));
      std::uint32_t length = std::min<std::uint32_t>(m.length, static_cast<std::uint32_t>(count - k));
      if (length < SZDD_MIN_MATCH) length = 0;
      lengths[k] = static_cast<std::uint8_t>(length);
      distances[k] = static_cast<std::uint16_t>(m.distance);
    }

    cost[count] = 0;
    for (std::size_t k = count; k-- > 0;) {
      std::uint32_t best = cost[k + 1] + SZDD_LITERAL_BITS;
      std::uint8_t take = 1;
      for (std::uint32_t length = SZDD_MIN_MATCH; length <= lengths[k]; ++length) {
        const std::uint32_t c = cost[k + length] + SZDD_MATCH_BITS;
        if (c < best) {
          best = c;
          take = static_cast<std::uint8_t>(length);
        }
      }
      cost[k] = best;
      choice[k] = take;
    }

    for (std::size_t k = 0; k < count;) {
      if (choice[k] == 1) {
        writer.Literal(data[begin + k]);
        ++k;
      } else {
        const std::uint32_t position = first + static_cast<std::uint32_t>(k);
        writer.Match((position - distances[k] + SZDD_WINDOW_START) & (SZDD_WINDOW_SIZE - 1), choice[k]);
        k += choice[k];
      }
    }
    if (progress) progress(end, size);
  }
  return true;
}
