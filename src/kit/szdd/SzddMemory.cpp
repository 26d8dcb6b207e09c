// The codec over buffers in memory, for the tests, the benchmarks and the
// test driver's small media: the streaming compressor fed a block at a time,
// and the streaming expansion read to its end.
#include <algorithm>

#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddBlockPlan.h"
#include "kit/szdd/SzddEncoder.h"
#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/SzddReader.h"

bool SzddCompress(const std::uint8_t* data, std::size_t size, char lastChar, std::vector<std::uint8_t>& out,
                  std::string& error, const SzddProgress& progress, unsigned jobs) {
  out.clear();
  if (static_cast<std::uint64_t>(size) > SZDD_MAX_INPUT) {
    error = "input of " + std::to_string(size) + " bytes is too large for SZDD (2 GiB or more)";
    return false;
  }
  SzddEncoder encoder(
      static_cast<std::uint32_t>(size), lastChar, SzddJobs(jobs, size),
      [&out](const std::uint8_t* bytes, std::size_t count) {
        out.insert(out.end(), bytes, bytes + count);
        return true;
      },
      progress);
  for (std::size_t at = 0; at < size; at += SZDD_BLOCK_SIZE) {
    encoder.Write(data + at, std::min(SZDD_BLOCK_SIZE, size - at));
  }
  return encoder.Finish(error);
}

bool SzddExpand(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, std::string& error) {
  out.clear();
  SzddReader reader;
  if (!reader.Open(data, size, error)) return false;
  // A pair and its share of a flag byte (17 bits) yield at most 18 bytes, so
  // the stream bounds what is worth reserving whatever the header claims.
  const std::uint64_t bound = static_cast<std::uint64_t>(size - SZDD_HEADER_SIZE) * 9;
  out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(reader.Declared(), bound)));
  std::uint8_t chunk[1 << 16];
  while (const std::size_t got = reader.Read(chunk, sizeof chunk)) out.insert(out.end(), chunk, chunk + got);
  return reader.Finish(error);
}
