// Writes the inputs of the LZ expansion check and their compressed forms:
// NAME.BIN and NAME.CMP for every row of the table, into DIR. Every stream
// also goes once through SzddExpand, which on Windows is the platform's LZ
// library reading from a temporary file.
//
//   szdd_fixtures DIR
// Prints the names, one a line; exit status 1 on any failure.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "kit/szdd/Szdd.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Random(std::size_t size) {
  std::mt19937 generator(7);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(generator());
  return bytes;
}

Bytes Periodic(std::size_t period, std::size_t size) {
  const Bytes unit = Random(period);
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = unit[i % period];
  return bytes;
}

// Words from a small vocabulary in lines of varying length: text-like, with
// matches of every length at every distance.
Bytes Prose(std::size_t size) {
  static const char* const WORDS[] = {"the",   "setup", "kit",     "window", "of",   "files", "and",
                                      "DATA",  "to",    "library", "copy",   "a",    "in",    "QUENVAR",
                                      "entry", "SZDD",  "install", "match",  "with", "98"};
  std::mt19937 generator(11);
  Bytes bytes;
  while (bytes.size() < size) {
    const std::string word = WORDS[generator() % 20];
    bytes.insert(bytes.end(), word.begin(), word.end());
    bytes.push_back(generator() % 9 == 0 ? '\n' : ' ');
  }
  bytes.resize(size);
  return bytes;
}

bool Save(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: szdd_fixtures DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  // Sizes around the chunk of 64000 bytes that the installer reads, and
  // past one block of the compressor (1 MiB).
  struct {
    const char* name;
    Bytes input;
  } rows[] = {
      {"empty", {}},
      {"one", {'x'}},
      {"prose17", Prose(17)},
      {"prose4097", Prose(4097)},
      {"prose63999", Prose(63999)},
      {"prose64000", Prose(64000)},
      {"prose64001", Prose(64001)},
      {"prose1200000", Prose(1200000)},
      {"random128000", Random(128000)},
      {"zeros200003", Bytes(200003, 0)},
      {"spaces70000", Bytes(70000, ' ')},
      {"period4096", Periodic(4096, 150000)},
      {"period4097", Periodic(4097, 150000)},
  };
  int failures = 0;
  for (const auto& row : rows) {
    Bytes packed, back;
    std::string error;
    if (!SzddCompress(row.input.data(), row.input.size(), '_', packed, error)) {
      std::fprintf(stderr, "%s: %s\n", row.name, error.c_str());
      ++failures;
      continue;
    }
    if (!SzddExpand(packed.data(), packed.size(), back, error) || back != row.input) {
      std::fprintf(stderr, "%s: SzddExpand does not give the input back: %s\n", row.name, error.c_str());
      ++failures;
    }
    if (!Save(dir + "/" + row.name + ".BIN", row.input) || !Save(dir + "/" + row.name + ".CMP", packed)) {
      std::fprintf(stderr, "%s: cannot write into %s\n", row.name, dir.c_str());
      ++failures;
      continue;
    }
    std::printf("%s\n", row.name);
  }
  return failures ? 1 : 0;
}
