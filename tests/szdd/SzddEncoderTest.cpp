// The streaming compressor: the same bytes for any number of jobs and any
// way the input is cut into writes, and failures that end the compression
// without a hang; the streaming expansion read in pieces and left early.
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>

#include "SzddTestData.h"
#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddEncoder.h"
#include "kit/szdd/SzddReader.h"

namespace {

constexpr std::size_t MIB = 1u << 20;

// The input written in pieces of the given size through an encoder with the
// given jobs; false when the encoder fails.
bool Encode(const Bytes& input, unsigned jobs, std::size_t piece, Bytes& out, std::string& error) {
  out.clear();
  SzddEncoder encoder(static_cast<std::uint32_t>(input.size()), 'X', jobs,
                      [&out](const std::uint8_t* data, std::size_t size) {
                        out.insert(out.end(), data, data + size);
                        return true;
                      });
  for (std::size_t at = 0; at < input.size(); at += piece) {
    encoder.Write(input.data() + at, std::min(piece, input.size() - at));
  }
  return encoder.Finish(error);
}

// Two blocks and a few bytes, ending within the lookahead after the second:
// the last block is cut short where the finder reads past it. The records
// make trees deep enough to cut walks short at every block's start, where a
// finder that carried the trees of the block before over would find other
// matches than a new one.
TEST(SzddEncoder, AnyJobsAndAnyPiecesGiveTheSameBytes) {
  const Bytes input = Records(2 * MIB + 5);
  Bytes reference;
  std::string error;
  ASSERT_TRUE(Encode(input, 1, input.size(), reference, error)) << error;
  struct {
    unsigned jobs;
    std::size_t piece;
  } rows[] = {{1, 4097}, {2, 1}, {3, MIB + 32}, {8, 65536}};
  for (const auto& row : rows) {
    Bytes out;
    ASSERT_TRUE(Encode(input, row.jobs, row.piece, out, error)) << error;
    EXPECT_TRUE(out == reference) << "jobs " << row.jobs << ", pieces of " << row.piece;
  }
  Bytes back;
  ASSERT_TRUE(SzddExpand(reference.data(), reference.size(), back, error)) << error;
  EXPECT_TRUE(back == input) << "libmspack's expansion differs";
  const std::string name = TempPath("encoder-three-blocks");
  WriteFile(name + ".cmp", reference);
  ASSERT_EQ(RunCommand("msexpand < '" + name + ".cmp' > '" + name + ".out' 2>/dev/null"), 0);
  EXPECT_TRUE(ReadFile(name + ".out") == input) << "msexpand's expansion differs";
  std::remove((name + ".cmp").c_str());
  std::remove((name + ".out").c_str());
}

// A failure ends the compression at once and leaves nothing waiting: the
// input's length other than the one given, or an output that refuses its
// bytes (at the header, or a few blocks on, while workers hold blocks).
TEST(SzddEncoder, FailuresEndTheCompressionWithoutAHang) {
  const Bytes input = Mixed(4 * MIB);
  struct {
    const char* why;
    std::uint32_t declared;
    std::size_t refuseAfter;  // output bytes taken before it refuses
    const char* error;        // Finish's message; "" when the output keeps its own
  } rows[] = {
      {"more input than declared", 3 * MIB, SIZE_MAX, "more input than the 3145728 bytes given"},
      {"less input than declared", 5 * MIB, SIZE_MAX, "the input ended after 4194304 of the 5242880 bytes given"},
      {"the output refuses the header", 4 * MIB, 0, ""},
      {"the output refuses a block on", 4 * MIB, MIB, ""},
  };
  for (unsigned jobs : {1u, 3u}) {
    for (const auto& row : rows) {
      std::size_t taken = 0;
      SzddEncoder encoder(row.declared, 'X', jobs, [&](const std::uint8_t*, std::size_t size) {
        if (taken + size > row.refuseAfter) return false;
        taken += size;
        return true;
      });
      for (std::size_t at = 0; at < input.size(); at += MIB) encoder.Write(input.data() + at, MIB);
      std::string error;
      EXPECT_FALSE(encoder.Finish(error)) << row.why << ", jobs " << jobs;
      EXPECT_EQ(error, row.error) << row.why << ", jobs " << jobs;
    }
  }
}

// An output that throws (as one that runs out of memory does) on a worker's
// thread has its exception thrown again on the caller's, by Finish, rather
// than end the process there.
TEST(SzddEncoder, WhatTheOutputThrowsComesBackFromFinish) {
  const Bytes input = Mixed(3 * MIB);
  for (unsigned jobs : {1u, 3u}) {
    std::size_t taken = 0;
    SzddEncoder encoder(static_cast<std::uint32_t>(input.size()), 'X', jobs,
                        [&](const std::uint8_t*, std::size_t size) {
                          if (taken > MIB) throw std::runtime_error("no room");
                          taken += size;
                          return true;
                        });
    for (std::size_t at = 0; at < input.size(); at += MIB) encoder.Write(input.data() + at, MIB);
    std::string error;
    EXPECT_THROW(encoder.Finish(error), std::runtime_error) << "jobs " << jobs;
  }
}

// The expansion read from a file in pieces of odd sizes gives the input back;
// a reader left before the end, or never read, stops its expansion.
TEST(SzddReader, ReadsInPiecesAndCanBeLeftEarly) {
  const Bytes input = Mixed(2 * MIB + 777);
  const std::string name = TempPath("reader-pieces.cmp");
  WriteFile(name, Compress(input));
  for (std::size_t piece : {std::size_t{1}, std::size_t{523}, std::size_t{MIB + 1}}) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    SzddReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(file, error)) << error;
    EXPECT_EQ(reader.Declared(), input.size());
    Bytes out(input.size() + 1);
    std::size_t got = 0;
    for (std::size_t n; (n = reader.Read(out.data() + got, std::min(piece, out.size() - got))) > 0;) got += n;
    out.resize(got);
    EXPECT_TRUE(out == input) << "pieces of " << piece;
    EXPECT_TRUE(reader.Finish(error)) << error;
    std::fclose(file);
  }
  for (std::size_t before : {std::size_t{0}, std::size_t{70000}}) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    {
      SzddReader reader;
      std::string error;
      ASSERT_TRUE(reader.Open(file, error)) << error;
      Bytes some(before);
      EXPECT_EQ(reader.Read(some.data(), some.size()), before);
    }
    std::fclose(file);
  }
  std::remove(name.c_str());
}

}  // namespace
