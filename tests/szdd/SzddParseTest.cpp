// The match finder and the best parse against brute force, and the
// compressor against the best parse on an input of several blocks.
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

#include "SzddTestData.h"
#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddMatchFinder.h"

namespace {

// The input as the expander sees it: spaces before byte 0.
std::uint8_t At(const Bytes& input, long long i) { return i < 0 ? ' ' : input[static_cast<std::size_t>(i)]; }

// Longest match at i over every distance of the window, the slow way.
unsigned BruteLongest(const Bytes& input, std::size_t i, std::size_t end) {
  unsigned best = 0;
  const unsigned room = static_cast<unsigned>(std::min<std::size_t>(18, end - i));
  for (long long d = 1; d <= 4096; ++d) {
    unsigned n = 0;
    const long long from = static_cast<long long>(i) - d;
    while (n < room && At(input, from + n) == input[i + n]) ++n;
    best = std::max(best, n);
  }
  return best >= 3 ? best : 0;
}

// Fewest bytes of any parse, from the brute-force longest matches.
std::uint64_t BruteOptimum(const Bytes& input) {
  const std::size_t n = input.size();
  std::vector<std::uint64_t> cost(n + 1, 0);
  for (std::size_t i = n; i-- > 0;) {
    cost[i] = cost[i + 1] + 9;
    for (unsigned length = 3, longest = BruteLongest(input, i, n); length <= longest; ++length)
      cost[i] = std::min(cost[i], cost[i + length] + 17);
  }
  return 14 + (cost[0] + 7) / 8;
}

// Inputs with many matches of every length and distance: a small alphabet,
// runs of spaces next to the fill, a period just over the window.
Bytes SmallAlphabet(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>("ab c"[generator() % 4]);
  return bytes;
}

struct Case {
  const char* why;
  Bytes input;
};

std::vector<Case> Cases() {
  Bytes spaced = SmallAlphabet(6000, 2);
  std::fill(spaced.begin(), spaced.begin() + 40, ' ');
  return {
      {"small alphabet", SmallAlphabet(6000, 1)},
      {"leading spaces reach into the fill", spaced},
      {"period just over the window", MakeContent(Content::Period4097, 9000)},
      {"text", MakeContent(Content::Text, 6000)},
      {"text and random", Mixed(12000)},
  };
}

TEST(SzddParse, TreeFinderGivesTheLongestMatchEverywhere) {
  // Blocks of 5000, each searched by a finder warmed with the window before
  // it, as the compressor does with its blocks.
  constexpr std::size_t BLOCK = 5000;
  for (const auto& c : Cases()) {
    SzddTreeFinder finder;
    SzddBlock block;
    std::size_t wrong = 0;
    for (std::size_t begin = 0; begin < c.input.size(); begin += BLOCK) {
      const std::size_t count = std::min(BLOCK, c.input.size() - begin);
      std::vector<std::uint8_t> lengths(count);
      std::vector<std::uint16_t> distances(count);
      SzddLoadBlock(block, c.input.data(), c.input.size(), begin, begin + count);
      const auto first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin);
      finder.Warm(block, first);
      finder.Scan(block, first, count, lengths.data(), distances.data());
      for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = begin + k;
        bool ok = lengths[k] == BruteLongest(c.input, i, begin + count);
        for (unsigned n = 0; ok && n < lengths[k]; ++n)
          ok = distances[k] >= 1 && distances[k] <= 4096 &&
               At(c.input, static_cast<long long>(i) - distances[k] + n) == c.input[i + n];
        if (!ok && wrong++ < 3) ADD_FAILURE() << c.why << ": position " << i << " got " << int(lengths[k]);
      }
    }
    EXPECT_EQ(wrong, 0u) << c.why;
  }
}

TEST(SzddParse, BestParseAndCompressorMatchBruteForce) {
  for (const auto& c : Cases()) {
    const std::uint64_t best = BruteOptimum(c.input);
    EXPECT_EQ(SzddOptimalSize(c.input.data(), c.input.size()), best) << c.why;
    EXPECT_EQ(Compress(c.input).size(), best) << c.why;
  }
}

// Records that differ only in a counter and a few low bits make trees deep
// enough for the compressor to cut its walks short; the parse must still be
// the best one.
TEST(SzddParse, CutWalksStillGiveTheBestParse) {
  const Bytes input = Records(32768);
  EXPECT_EQ(Compress(input).size(), SzddOptimalSize(input.data(), input.size()));
}

// Several blocks planned side by side and written in order; matches do not
// cross block ends, which costs a few bits a block.
TEST(SzddParse, SeveralBlocksStayWithinATenthOfAPercentOfTheBest) {
  const Bytes input = Mixed((2u << 20) + 12345);  // three blocks: more than one round of two workers
  const Bytes packed = Compress(input);
  Bytes back;
  std::string error;
  ASSERT_TRUE(SzddExpand(packed.data(), packed.size(), back, error)) << error;
  EXPECT_TRUE(back == input) << "the expansion differs";
  const std::uint64_t best = SzddOptimalSize(input.data(), input.size());
  EXPECT_LE(packed.size(), best + best / 1000) << "best " << best;
}

}  // namespace
