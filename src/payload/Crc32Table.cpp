// The archive's CRC-32 in SETUP.EXE: the same CRC as zlib's, a byte at a time
// from one 1 KiB table. zlib's prebuilt library for Windows is compiled for
// the Pentium Pro (it holds cmov) and brings 8 KiB of tables; the installer
// must run on an i486 and stay small, and it reads the archive from a disk
// far slower than this loop.
#include "payload/LibraryFormat.h"

namespace {

constexpr std::uint32_t POLYNOMIAL = 0xEDB88320u;  // reflected CRC-32 (IEEE 802.3), as zlib's

struct CrcTable {
  std::uint32_t entries[256];
  constexpr CrcTable() : entries() {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? (c >> 1) ^ POLYNOMIAL : c >> 1;
      entries[i] = c;
    }
  }
};

constexpr CrcTable TABLE;

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (std::size_t i = 0; i < length; ++i) crc = TABLE.entries[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}
