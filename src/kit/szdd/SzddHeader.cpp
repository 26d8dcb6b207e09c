#include <cstring>

#include "kit/szdd/SzddFormat.h"

void SzddWriteHeader(std::uint8_t* out, char lastChar, std::uint32_t length) {
  std::memcpy(out, SZDD_MAGIC, sizeof SZDD_MAGIC);
  out[8] = SZDD_MODE_A;
  out[9] = static_cast<std::uint8_t>(lastChar);
  for (int i = 0; i < 4; ++i) out[10 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

bool SzddReadHeader(const std::uint8_t* data, std::size_t size, std::uint32_t& length, std::string& error) {
  switch (SzddParseHeader(data, size, length)) {
    case SzddHeaderCheck::Ok: return true;
    case SzddHeaderCheck::Short:
      error = "stream of " + std::to_string(size) + " bytes is shorter than the SZDD header";
      return false;
    case SzddHeaderCheck::NoMagic: error = "not an SZDD stream (no SZDD magic)"; return false;
    case SzddHeaderCheck::UnknownMode: error = "unknown SZDD compression mode " + std::to_string(data[8]); return false;
  }
  return false;
}

std::string SzddLengthProblem(std::uint64_t expanded, std::uint32_t declared) {
  if (expanded > declared) return "stream expands past the " + std::to_string(declared) + " bytes its header declares";
  if (expanded < declared) {
    return "stream expands to " + std::to_string(expanded) + " bytes, its header declares " + std::to_string(declared);
  }
  return "";
}
