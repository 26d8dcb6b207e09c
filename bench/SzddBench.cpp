// Ratio and speed of our SZDD compressor beside mscompress's on the same
// files in one run, with the size of the best parse beside them.
//
//   szdd_bench FILE...            figures for each file
//   szdd_bench --synthetic OUT    writes the 12 MB synthetic payload
//   szdd_bench --ratio FILE CMP   the size of CMP, FILE compressed by kitpack,
//                                 beside the best parse of FILE
// Figures only: nothing here passes or fails.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "kit/szdd/Szdd.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

Bytes Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool Save(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

// 12,000,000 bytes in the proportions of a kit: prose and source text,
// records like those of object files and tables, zero runs, and packed data.
Bytes Synthetic() {
  static const char* const WORDS[] = {"int",     "return", "the",   "struct", "window", "void",  "const",
                                      "library", "static", "if",    "file",   "size",   "DWORD", "HANDLE",
                                      "#define", "for",    "while", "of",     "kit",    "setup"};
  std::mt19937 generator(1998);
  Bytes out;
  while (out.size() < 12000000) {
    const unsigned kind = generator() % 10;
    const std::size_t length = 2000 + generator() % 30000;
    if (kind < 4) {  // text
      for (std::size_t n = 0; n < length;) {
        const std::string word = WORDS[generator() % 20];
        out.insert(out.end(), word.begin(), word.end());
        out.push_back(generator() % 8 == 0 ? '\n' : ' ');
        n += word.size() + 1;
      }
    } else if (kind < 7) {  // records: small numbers and repeated fields
      for (std::size_t n = 0; n < length; n += 16) {
        const std::uint32_t id = static_cast<std::uint32_t>(n / 16);
        const std::uint8_t record[16] = {static_cast<std::uint8_t>(id),
                                         static_cast<std::uint8_t>(id >> 8),
                                         0,
                                         0,
                                         0x4C,
                                         0x01,
                                         static_cast<std::uint8_t>(generator() % 4),
                                         0,
                                         static_cast<std::uint8_t>(generator() % 16),
                                         0,
                                         0,
                                         0,
                                         0x20,
                                         0,
                                         0x60,
                                         0xC0};
        out.insert(out.end(), record, record + 16);
      }
    } else if (kind < 9) {  // zeros
      out.insert(out.end(), length, 0);
    } else {  // packed
      for (std::size_t n = 0; n < length; ++n) out.push_back(static_cast<std::uint8_t>(generator()));
    }
  }
  out.resize(12000000);
  return out;
}

void Figures(const std::string& path) {
  const Bytes input = Load(path);
  const double mb = input.size() / 1e6;

  Bytes ours, back;
  std::string error;
  Clock::time_point start = Clock::now();
  if (!SzddCompress(input.data(), input.size(), '_', ours, error)) {
    std::printf("%s: %s\n", path.c_str(), error.c_str());
    return;
  }
  const double ourSeconds = Seconds(start);
  const bool expands = SzddExpand(ours.data(), ours.size(), back, error) && back == input;
  start = Clock::now();
  const std::uint64_t best = SzddOptimalSize(input.data(), input.size());
  const double bestSeconds = Seconds(start);

  // mscompress writes NAME_ beside its input.
  char dir[] = "/tmp/szdd-bench.XXXXXX";
  if (!mkdtemp(dir)) return;
  const std::string copy = std::string(dir) + "/input";
  Save(copy, input);
  start = Clock::now();
  const int status = std::system(("mscompress '" + copy + "' >/dev/null 2>&1").c_str());
  const double theirSeconds = Seconds(start);
  struct stat info = {};
  const bool theirs = status == 0 && stat((copy + "_").c_str(), &info) == 0;
  const double theirSize = theirs ? static_cast<double>(info.st_size) : 0;
  std::remove((copy + "_").c_str());
  std::remove(copy.c_str());
  rmdir(dir);

  std::printf("%s: %zu bytes (%.1f MB)\n", path.c_str(), input.size(), mb);
  std::printf("  ours        %12zu bytes  %6.2f%% of input  %7.2f s  %7.1f MB/s  expands %s\n", ours.size(),
              100.0 * ours.size() / input.size(), ourSeconds, mb / ourSeconds, expands ? "byte-exact" : "WRONG");
  std::printf("  best parse  %12llu bytes  %6.2f%% of input  (ours %+.4f%%; found in %.2f s)\n",
              static_cast<unsigned long long>(best), 100.0 * best / input.size(),
              100.0 * (static_cast<double>(ours.size()) - best) / best, bestSeconds);
  if (theirs) {
    std::printf("  mscompress  %12.0f bytes  %6.2f%% of input  %7.2f s  %7.1f MB/s\n", theirSize,
                100.0 * theirSize / input.size(), theirSeconds, mb / theirSeconds);
    std::printf("  ours vs mscompress: %.1fx the speed, %+.2f%% the size\n", theirSeconds / ourSeconds,
                100.0 * (ours.size() - theirSize) / theirSize);
  } else {
    std::printf("  mscompress  failed or missing\n");
  }
}

// A payload that kitpack wrote against the best parse of its input.
int Ratio(const std::string& path, const std::string& payload) {
  const Bytes input = Load(path);
  struct stat info = {};
  if (input.empty() || stat(payload.c_str(), &info) != 0) {
    std::fprintf(stderr, "szdd_bench: cannot read %s or %s\n", path.c_str(), payload.c_str());
    return 1;
  }
  const Clock::time_point start = Clock::now();
  const std::uint64_t best = SzddOptimalSize(input.data(), input.size());
  const double size = static_cast<double>(info.st_size);
  std::printf("%s: %lld bytes; best parse %llu bytes (found in %.1f s); %s %+.4f%% over it\n", path.c_str(),
              static_cast<long long>(input.size()), static_cast<unsigned long long>(best), Seconds(start),
              payload.c_str(), 100.0 * (size - static_cast<double>(best)) / static_cast<double>(best));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--synthetic") return Save(argv[2], Synthetic()) ? 0 : 1;
  if (argc == 4 && std::string(argv[1]) == "--ratio") return Ratio(argv[2], argv[3]);
  if (argc < 2) {
    std::fprintf(stderr, "usage: szdd_bench FILE... | szdd_bench --synthetic OUT | szdd_bench --ratio FILE CMP\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) Figures(argv[i]);
  return 0;
}
