// Round trips over a table of sizes and contents, each stream checked by
// libmspack, by a strict walk of the format, by msexpand, against the best
// parse, and against mscompress.
#include <gtest/gtest.h>
#include <tuple>

#include "SzddTestData.h"
#include "kit/szdd/Szdd.h"

namespace {

// Sizes around the window (4096), the first write position (16 before its
// end) and a match's longest reach (18).
const std::size_t SIZES[] = {0, 1, 15, 16, 17, 18, 4095, 4096, 4097, 4112, 65537};

class SzddRoundTrip : public testing::TestWithParam<std::tuple<std::size_t, Content>> {};

TEST_P(SzddRoundTrip, ExpandsToTheInputAndIsAsSmallAsTheBestParse) {
  const auto [size, content] = GetParam();
  const Bytes input = MakeContent(content, size);
  const Bytes packed = Compress(input, 'Q');

  Bytes back;
  std::string error;
  ASSERT_TRUE(SzddExpand(packed.data(), packed.size(), back, error)) << error;
  EXPECT_EQ(back, input) << "libmspack's expansion differs";

  const Walk walk = WalkStream(packed);
  EXPECT_EQ(walk.fault, "");
  EXPECT_EQ(walk.output, input) << "the strict walk's expansion differs";

  // One block: the parse is the best one, to the byte.
  EXPECT_EQ(packed.size(), SzddOptimalSize(input.data(), input.size()));

  const std::string name = TempPath(std::string(ContentName(content)) + "-" + std::to_string(size));
  WriteFile(name + ".cmp", packed);
  ASSERT_EQ(RunCommand("msexpand < '" + name + ".cmp' > '" + name + ".out' 2>/dev/null"), 0);
  EXPECT_EQ(ReadFile(name + ".out"), input) << "msexpand's expansion differs";

  // mscompress mishandles inputs under 16 bytes; from there on we are never
  // larger than it.
  if (size >= 16) {
    WriteFile(name, input);
    ASSERT_EQ(RunCommand("cd '" + testing::TempDir() + "' && mscompress '" + name + "' >/dev/null 2>&1"), 0);
    const Bytes theirs = ReadFile(name + "_");
    ASSERT_GE(theirs.size(), 14u) << "mscompress wrote no stream";
    EXPECT_LE(packed.size(), theirs.size()) << "larger than mscompress's " << theirs.size();
    std::remove((name + "_").c_str());
    std::remove(name.c_str());
  }
  std::remove((name + ".cmp").c_str());
  std::remove((name + ".out").c_str());
}

INSTANTIATE_TEST_SUITE_P(SizesByContents, SzddRoundTrip,
                         testing::Combine(testing::ValuesIn(SIZES), testing::ValuesIn(ALL_CONTENTS)),
                         [](const testing::TestParamInfo<SzddRoundTrip::ParamType>& param) {
                           return std::string(ContentName(std::get<1>(param.param))) + "_" +
                                  std::to_string(std::get<0>(param.param));
                         });

}  // namespace
