// Replays inputs through a fuzz target without libFuzzer: each argument is a
// file, or a directory whose files are all replayed. A crash found by the
// fuzzer can so be rerun in any native build, under a debugger or the
// sanitizers.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int Replay(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open\n", path.string().c_str());
    return 1;
  }
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s INPUT|DIRECTORY...\n", argv[0]);
    return 2;
  }
  int failures = 0;
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path path = argv[i];
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) failures += Replay(entry.path()), ++replayed;
      }
    } else {
      failures += Replay(path), ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return failures == 0 && replayed > 0 ? 0 : 1;
}
