// The 14-byte header of an SZDD stream, the compressed-file format that the
// platform's LZ expansion library reads: SETUP.EXE checks its payload's
// header against what the library expands, and the kit builder writes it.
#pragma once
#include <cstddef>
#include <cstdint>

// Magic, mode, last character of the expanded name, expanded length
// (little-endian).
constexpr std::uint8_t SZDD_MAGIC[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr std::uint8_t SZDD_MODE_A = 'A';
constexpr std::size_t SZDD_HEADER_SIZE = 14;

enum class SzddHeaderCheck {
  Ok,
  Short,        // fewer bytes than a header
  NoMagic,      // not an SZDD stream
  UnknownMode,  // an SZDD stream of a mode other than 'A'
};

// Checks the header at the start of data and, on Ok, gives the expanded
// length it states.
SzddHeaderCheck SzddParseHeader(const std::uint8_t* data, std::size_t size, std::uint32_t& length);
