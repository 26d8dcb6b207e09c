#include <gtest/gtest.h>

#include "kit/szdd/Szdd.h"

TEST(SzddRoundTrip, Smoke) {
  std::string text = "hello hello hello world, hello world!";
  std::vector<std::uint8_t> in(text.begin(), text.end()), packed, back;
  std::string error;
  ASSERT_TRUE(SzddCompress(in.data(), in.size(), 'T', packed, error)) << error;
  ASSERT_TRUE(SzddExpand(packed.data(), packed.size(), back, error)) << error;
  EXPECT_EQ(back, in);
}
