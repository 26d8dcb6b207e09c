// The compressor over an input held in memory, for the tests, the
// benchmarks and the test driver's small media: the streaming compressor
// fed a block at a time.
#include <algorithm>

#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddBlockPlan.h"
#include "kit/szdd/SzddEncoder.h"

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
