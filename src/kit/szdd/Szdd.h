// SZDD: the compressed-file format of the classic COMPRESS/EXPAND tools, the
// one the platform's LZ expansion library reads. The kit builder writes its
// payload in it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kit/szdd/SzddEncoder.h"

// Largest input the format's 32-bit length field and the reader's signed
// sizes can carry: inputs of 2 GiB or more are refused.
constexpr std::uint64_t SZDD_MAX_INPUT = 0x7FFFFFFF;

// Compresses the input into a complete SZDD stream (header included) in out,
// with the streaming compressor (SzddEncoder.h) and its jobs (0: one for
// each core); the output is the same for any number. lastChar is the last
// character of the expanded file's name, which the header records. False,
// with a message in error, when the input cannot be held by the format.
bool SzddCompress(const std::uint8_t* data, std::size_t size, char lastChar, std::vector<std::uint8_t>& out,
                  std::string& error, const SzddProgress& progress = {}, unsigned jobs = 0);

// Size in bytes, header included, of the smallest SZDD stream that any parse
// of the input gives: what the compressor is measured against. Slower than
// the compressor.
std::uint64_t SzddOptimalSize(const std::uint8_t* data, std::size_t size);

// Expands a complete SZDD stream in memory, through the streaming expansion
// (SzddReader.h). False, with a message in error, when the stream is
// malformed or does not yield exactly the length its header declares.
bool SzddExpand(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, std::string& error);
