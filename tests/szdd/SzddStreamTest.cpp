// The stream's exact bytes, hand-made streams that exercise the window, and
// malformed streams that must fail cleanly.
#include <gtest/gtest.h>

#include "SzddTestData.h"
#include "kit/szdd/Szdd.h"

namespace {

Bytes Repeat(std::uint8_t byte, std::size_t count) { return Bytes(count, byte); }

TEST(SzddStream, HeaderCarriesMagicModeLastCharacterAndLength) {
  const Bytes input = MakeContent(Content::Text, 70000);
  const Bytes packed = Compress(input, 'L');
  const Bytes expected = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 'L', 0x70, 0x11, 0x01, 0x00};
  ASSERT_GE(packed.size(), expected.size());
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 14), expected);
}

TEST(SzddStream, KnownInputsGiveKnownBytes) {
  struct {
    const char* why;
    Bytes input;
    Bytes body;
  } cases[] = {
      {"nothing after the header for no input", {}, {}},
      {"three literals, unused flag bits zero", {'a', 'b', 'c'}, {0x07, 'a', 'b', 'c'}},
      {"the ninth token opens a flag byte",
       {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'},
       {0xFF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x01, 'i'}},
      // The pair names cell 4080 (0xFF0): low byte, then the high nibble
      // above the length less 3.
      {"the only match there is",
       {'a', 'b', 'c', 'd', 'X', 'a', 'b', 'c', 'd'},
       {0x1F, 'a', 'b', 'c', 'd', 'X', 0xF0, 0xF1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Compress(c.input, 'Z'), Stream(static_cast<std::uint32_t>(c.input.size()), c.body, 'Z')) << c.why;
  }
}

// Streams no compressor of ours needs to write, decoded by libmspack.
TEST(SzddStream, HandMadeStreamsExpand) {
  Bytes distance4096Body, distance4096Output;
  for (int i = 0; i < 4096; ++i) {
    if (i % 8 == 0) distance4096Body.push_back(0xFF);
    distance4096Body.push_back(static_cast<std::uint8_t>('A' + i % 23));
    distance4096Output.push_back(static_cast<std::uint8_t>('A' + i % 23));
  }
  // After 4096 bytes the cell of byte 0 is the one about to be written: it
  // still holds byte 0 when it is read.
  distance4096Body.insert(distance4096Body.end(), {0x00, 0xF0, 0xF2});
  distance4096Output.insert(distance4096Output.end(), {'A', 'B', 'C', 'D', 'E'});

  struct {
    const char* why;
    Bytes stream;
    Bytes output;
  } cases[] = {
      {"a match inside the fill", Stream(5, {0x00, 0x00, 0x02}), Repeat(' ', 5)},
      // Cell 4079 (0xFEF) is the last of the fill before the first write.
      {"a match from the fill into written bytes",
       Stream(7, {0x07, 'a', 'b', 'c', 0xEF, 0xF1}),
       {'a', 'b', 'c', ' ', 'a', 'b', 'c'}},
      {"distance 1, length 18", Stream(19, {0x01, 'q', 0xF0, 0xFF}), Repeat('q', 19)},
      {"distance 4096", Stream(4101, distance4096Body), distance4096Output},
  };
  for (const auto& c : cases) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(SzddExpand(c.stream.data(), c.stream.size(), out, error)) << c.why << ": " << error;
    EXPECT_EQ(out, c.output) << c.why;
    EXPECT_EQ(WalkStream(c.stream).output, c.output) << c.why << " (strict walk)";
  }
}

// "ABCDEFGHIABC": eight literals, a literal, and a pair that copies "ABC".
const Bytes GOOD_BODY = {0xFF, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0x01, 'I', 0xF0, 0xF0};

Bytes Cut(const Bytes& stream, std::size_t size) { return Bytes(stream.begin(), stream.begin() + size); }

TEST(SzddStream, MalformedStreamsFailCleanly) {
  const Bytes good = Stream(12, GOOD_BODY);
  Bytes badMagic = good;
  badMagic[4] = 0x89;
  Bytes badMode = good;
  badMode[8] = 'B';
  Bytes trailing = good;
  trailing.insert(trailing.end(), {0x01, 'Z'});

  struct {
    const char* why;
    Bytes stream;
  } cases[] = {
      {"empty", {}},
      {"shorter than the header", Cut(good, 13)},
      {"wrong magic", badMagic},
      {"wrong mode", badMode},
      {"truncated where a flag byte belongs", Cut(good, 23)},
      {"truncated in a literal", Cut(good, 24)},
      {"truncated before a pair", Cut(good, 25)},
      {"truncated inside a pair", Cut(good, 26)},
      {"length field too large", Stream(13, GOOD_BODY)},
      {"length field too small", Stream(11, GOOD_BODY)},
      {"length field far too large", Stream(0xFFFFFFFF, GOOD_BODY)},
      {"tokens after the declared length", trailing},
  };
  {
    Bytes out;
    std::string error;
    ASSERT_TRUE(SzddExpand(good.data(), good.size(), out, error)) << "the uncut stream is good: " << error;
    ASSERT_EQ(std::string(out.begin(), out.end()), "ABCDEFGHIABC");
  }
  for (const auto& c : cases) {
    Bytes out = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(SzddExpand(c.stream.data(), c.stream.size(), out, error)) << c.why;
    EXPECT_FALSE(error.empty()) << c.why;
  }
}

TEST(SzddStream, RefusesInputsOf2GiBOrMore) {
  // The size is refused before a byte is read, so a small buffer stands in.
  const std::uint8_t byte = 0;
  Bytes out;
  std::string error;
  EXPECT_FALSE(SzddCompress(&byte, static_cast<std::size_t>(SZDD_MAX_INPUT) + 1, 'x', out, error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

TEST(SzddStream, ReportsProgressUpToTheWhole) {
  const Bytes input = MakeContent(Content::Random, (3u << 20) + 5);
  std::vector<std::uint64_t> seen;
  Bytes out;
  std::string error;
  ASSERT_TRUE(SzddCompress(input.data(), input.size(), 'x', out, error, [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_EQ(total, input.size());
    seen.push_back(done);
  }));
  ASSERT_GE(seen.size(), 2u) << "progress comes more than once for several megabytes";
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_EQ(seen.back(), input.size());
}

}  // namespace
