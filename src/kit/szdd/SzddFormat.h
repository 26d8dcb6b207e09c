// The layout of an SZDD stream, shared by the compressor, the expander and
// the size of the best parse.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/SzddHeader.h"

// The window the expander keeps: 4096 bytes, all spaces at first, the first
// expanded byte written 16 bytes before its end.
constexpr unsigned SZDD_WINDOW_SIZE = 4096;
constexpr unsigned SZDD_WINDOW_START = SZDD_WINDOW_SIZE - 16;
constexpr std::uint8_t SZDD_WINDOW_FILL = ' ';

// A match copies 3 to 18 bytes; a literal costs a flag bit and a byte, a
// match a flag bit and two bytes.
constexpr unsigned SZDD_MIN_MATCH = 3;
constexpr unsigned SZDD_MAX_MATCH = 18;
constexpr unsigned SZDD_LITERAL_BITS = 9;
constexpr unsigned SZDD_MATCH_BITS = 17;

// Writes the 14-byte header for an input of the given length.
void SzddWriteHeader(std::uint8_t* out, char lastChar, std::uint32_t length);

// Checks the header of a stream and gives the expanded length it declares.
// False, with a message in error, when the stream is shorter than a header,
// lacks the magic, or uses a mode other than 'A'.
bool SzddReadHeader(const std::uint8_t* data, std::size_t size, std::uint32_t& length, std::string& error);

// What is wrong with a stream that expands to `expanded` bytes where its
// header declares `declared`: that it expands past them or short of them.
// Empty when the two agree.
std::string SzddLengthProblem(std::uint64_t expanded, std::uint32_t declared);
