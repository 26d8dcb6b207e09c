// Inputs and helpers shared by the codec's tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The kinds of content the round trips run over.
enum class Content { Spaces, Zeros, Random, Period1, Period18, Period4096, Period4097, Text };
extern const Content ALL_CONTENTS[8];
const char* ContentName(Content content);

// size bytes of the given kind; the same bytes on every call.
Bytes MakeContent(Content content, std::size_t size);

// Text with stretches of random bytes: matches of every kind, and pieces
// that do not compress.
Bytes Mixed(std::size_t size);

// Records that differ only in a counter and a few low bits: trees deep
// enough for the compressor to cut its walks short.
Bytes Records(std::size_t size);

// Compresses, failing the test on an error.
Bytes Compress(const Bytes& input, char lastChar = '_');

// A stream made by hand: the header for the declared length, then body.
Bytes Stream(std::uint32_t declared, const Bytes& body, char lastChar = '_');

// Strict walk of a stream as the format defines it, independent of the
// codec: the expansion, or a message saying where the stream breaks the
// format (a truncated token, bytes after the last token, a set flag bit
// with no token).
struct Walk {
  Bytes output;
  std::string fault;  // empty when the stream is well formed
};
Walk WalkStream(const Bytes& stream);

// Runs a shell command; its exit status.
int RunCommand(const std::string& command);
std::string TempPath(const std::string& name);
void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
