// The archive's CRC-32 through zlib: the kit builder, the tests and every
// program but SETUP.EXE.
#include <zlib.h>

#include "payload/LibraryFormat.h"

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length) {
  // zlib takes lengths as unsigned int: feed it in pieces that fit.
  const auto* bytes = static_cast<const Bytef*>(data);
  while (length > 0) {
    const uInt piece = length > 0x40000000u ? 0x40000000u : static_cast<uInt>(length);
    crc = static_cast<std::uint32_t>(crc32(crc, bytes, piece));
    bytes += piece;
    length -= piece;
  }
  return crc;
}
