#include "base/SzddHeader.h"

#include <cstring>

SzddHeaderCheck SzddParseHeader(const std::uint8_t* data, std::size_t size, std::uint32_t& length) {
  if (size < SZDD_HEADER_SIZE) return SzddHeaderCheck::Short;
  if (std::memcmp(data, SZDD_MAGIC, sizeof SZDD_MAGIC) != 0) return SzddHeaderCheck::NoMagic;
  if (data[8] != SZDD_MODE_A) return SzddHeaderCheck::UnknownMode;
  length = 0;
  for (int i = 0; i < 4; ++i) length |= static_cast<std::uint32_t>(data[10 + i]) << (8 * i);
  return SzddHeaderCheck::Ok;
}
