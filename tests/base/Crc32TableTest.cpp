// SETUP.EXE's CRC-32 must be zlib's, which the kit builder writes.
#include <zlib.h>

#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "payload/LibraryFormat.h"

namespace {

// zlib's CRC-32 of the bytes continued from crc. No bytes leave a CRC as it
// is (zlib itself, given no buffer, answers its starting value instead).
std::uint32_t Zlib(std::uint32_t crc, const std::vector<unsigned char>& bytes) {
  if (bytes.empty()) return crc;
  return static_cast<std::uint32_t>(crc32(crc, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::vector<unsigned char> Random(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(size);
  for (auto& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

TEST(Crc32Table, AgreesWithZlib) {
  std::vector<unsigned char> everyByte(256);
  for (int i = 0; i < 256; ++i) everyByte[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  const std::string check = "123456789";
  struct {
    const char* why;
    std::vector<unsigned char> bytes;
    std::uint32_t start;
  } rows[] = {
      {"nothing", {}, 0},
      {"nothing, continued from a CRC", {}, 0x12345678u},
      {"one zero byte", {0}, 0},
      {"the standard check string", std::vector<unsigned char>(check.begin(), check.end()), 0},
      {"every byte value", everyByte, 0},
      {"a chunk of the installer's size, continued", Random(64000, 1), 0xCBF43926u},
      {"an odd length", Random(1000003, 2), 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Crc32(row.start, row.bytes.data(), row.bytes.size()), Zlib(row.start, row.bytes)) << row.why;
  }
  EXPECT_EQ(Crc32(0, check.data(), check.size()), 0xCBF43926u) << "the CRC-32 of \"123456789\"";
}

TEST(Crc32Table, ContinuesAcrossPiecesAsInOne) {
  // The installer checks data as it comes, in pieces of any length.
  const std::vector<unsigned char> bytes = Random(4099, 3);
  const std::uint32_t whole = Zlib(0, bytes);
  for (std::size_t cut = 0; cut <= bytes.size(); cut += 97) {
    const std::uint32_t first = Crc32(0, bytes.data(), cut);
    EXPECT_EQ(Crc32(first, bytes.data() + cut, bytes.size() - cut), whole) << "cut at " << cut;
  }
}

}  // namespace
