// The time kitpack takes to write a CD image of a medium that is already
// written, apart from the packing and compressing before it: the medium
// folder's files (in the page cache after the first run) are written as an
// image RUNS times, to a file under the name given and to memory.
//
//   cd_image_bench MEDIUMDIR OUT.ISO [RUNS]
// Figures only: nothing here passes or fails.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "kit/CdImage.h"
#include "kit/KitFiles.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: cd_image_bench MEDIUMDIR OUT.ISO [RUNS]\n");
    return 2;
  }
  const std::filesystem::path medium = argv[1];
  const std::string image = argv[2];
  const int runs = argc == 4 ? std::atoi(argv[3]) : 3;
  std::vector<CdImageFile> files;
  std::uint64_t bytes = 0;
  for (const char* name : {"DATA.CMP", "LICENSE.TXT", "README.TXT", "SETUP.EXE", "SHELLINK.DAT"}) {
    std::error_code code;
    bytes += std::filesystem::file_size(medium / name, code);
    if (code) {
      std::fprintf(stderr, "cd_image_bench: %s: cannot read\n", (medium / name).string().c_str());
      return 1;
    }
    files.push_back({name, medium / name});
  }

  double toFile = 1e9, toMemory = 1e9;
  std::size_t size = 0;
  for (int run = 0; run < runs; ++run) {
    std::string error;
    auto start = Clock::now();
    OutputFile out;
    OutputSink fileSink(out);
    if (!out.Create(image, error) || !WriteCdImage(files, "QUENVAR98", CD_DEFAULT_TIME, fileSink, image, error) ||
        !out.Commit(error)) {
      std::fprintf(stderr, "cd_image_bench: %s\n", error.c_str());
      return 1;
    }
    toFile = std::min(toFile, Seconds(start));

    std::vector<std::uint8_t> held;
    VectorSink memorySink(held);
    start = Clock::now();
    if (!WriteCdImage(files, "QUENVAR98", CD_DEFAULT_TIME, memorySink, "memory", error)) {
      std::fprintf(stderr, "cd_image_bench: %s\n", error.c_str());
      return 1;
    }
    toMemory = std::min(toMemory, Seconds(start));
    size = held.size();
  }
  std::printf("image of %llu bytes of files: %zu bytes; best of %d: %.3f s to a file (%.0f MB/s), %.3f s to memory\n",
              static_cast<unsigned long long>(bytes), size, runs, toFile, size / toFile / 1e6, toMemory);
  return 0;
}
