// Fuzzes the installer's archive reader: the input is a DATA.VNX. Besides
// surviving it under the sanitizers, the reader must agree with the format:
// whatever LibraryFind reports must be where the entry headers say, and an
// extraction succeeds exactly when the entry's data is all there, and then
// writes exactly that data, restored.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payload/EntryName.h"
#include "payload/LibraryReader.h"

namespace {

namespace fs = std::filesystem;

struct Expected {
  std::string name;
  std::int64_t offset;
  std::int32_t size;
};

// The entries as the format lays them out, found by reading the bytes here
// rather than through the reader, up to the first invalid entry: a name
// field without a zero byte, or a negative size.
std::vector<Expected> WalkEntries(const std::uint8_t* data, std::size_t size) {
  std::vector<Expected> entries;
  std::size_t at = LIBRARY_HEADER_SIZE;
  while (size >= LIBRARY_ENTRY_HEADER_SIZE && at <= size - LIBRARY_ENTRY_HEADER_SIZE && entries.size() < 64) {
    const std::uint8_t* header = data + at;
    const std::uint8_t* field = header + 256;
    const auto entrySize = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(header[516]) | static_cast<std::uint32_t>(header[517]) << 8 |
        static_cast<std::uint32_t>(header[518]) << 16 | static_cast<std::uint32_t>(header[519]) << 24);
    if (std::memchr(field, 0, LIBRARY_NAME_FIELD) == nullptr || entrySize < 0) break;
    // Character i is stored as (character + i + 37) mod 256; a stored zero,
    // or one that restores to zero, ends the name.
    std::string name;
    for (std::size_t i = 0; field[i] != 0; ++i) {
      const char c = static_cast<char>(field[i] - (i + 37));
      if (c == 0) break;
      name.push_back(c);
    }
    const auto offset = static_cast<std::int64_t>(at + LIBRARY_ENTRY_HEADER_SIZE);
    entries.push_back({name, offset, entrySize});
    at = static_cast<std::size_t>(offset) + static_cast<std::size_t>(entrySize);
  }
  return entries;
}

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "reader disagrees with the format: %s\n", what);
    std::abort();
  }
}

// Kept in a plain buffer: the exit handler that removes the directory runs
// after static objects are destroyed.
char WorkPath[4096];

void RemoveWorkDirectory() {
  std::error_code ignored;
  fs::remove_all(fs::path(WorkPath), ignored);
}

const fs::path& WorkDirectory() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("qv-fuzz-reader-" + std::to_string(::getpid()));
    fs::create_directories(d / "out");
    std::snprintf(WorkPath, sizeof WorkPath, "%s", d.c_str());
    std::atexit(RemoveWorkDirectory);
    return d;
  }();
  return dir;
}

// Whether the name stays below the directory it is joined to: the entry-name
// rule's length limits aside, since the reader's own refusal of a path too
// long is part of what is fuzzed.
bool SafeToWriteHere(const std::string& name) {
  const NameFault fault = CheckEntryName(name.c_str(), {0, 1252});
  return fault == NameFault::None || fault == NameFault::PathTooLong || fault == NameFault::DirectoryTooLong;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path archive = WorkDirectory() / "DATA.VNX";
  const std::string archivePath = archive.string();
  const std::string outDir = (WorkDirectory() / "out").string();
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  if (!LibraryOpen(archivePath.c_str(), LIBRARY_ACCESS_NAME)) {
    LibraryClose();
    return 0;
  }
  Check(LibraryVerify() == 1, "verification is repeatable");

  std::vector<Expected> entries = WalkEntries(data, size);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Expected& entry = entries[i];
    std::int32_t offset = -1;
    std::int32_t found = -1;
    int hit = LibraryFind(entry.name.c_str(), &offset, &found);
    // The first entry of this name is what the reader must report.
    std::size_t first = 0;
    while (entries[first].name != entry.name) ++first;
    if (entries[first].offset > LIBRARY_MAX_SIZE) continue;
    Check(hit == 1, "an entry that the headers hold is found");
    Check(offset == entries[first].offset && found == entries[first].size, "offset and size of the first entry");
    if (first != i || !SafeToWriteHere(entry.name) || entry.name.find('/') != std::string::npos) continue;

    // Extraction writes OUT\NAME, which here is one file beside OUT.
    const std::string output = outDir + "\\" + entry.name;
    int extracted = LibraryExtract(outDir.c_str(), entry.name.c_str());
    bool whole = static_cast<std::uint64_t>(entry.offset) + static_cast<std::uint64_t>(entry.size) <= size;
    // Past 259 characters the reader must refuse; past the platform's
    // longest file name here the file cannot be created at all.
    bool creatable = output.size() < 260 && entry.name.size() + 4 <= 255;
    if (creatable) Check(extracted == (whole ? 1 : 0), "extraction succeeds exactly when the data is there");
    if (extracted) {
      std::ifstream in(output, std::ios::binary);
      std::string written{std::istreambuf_iterator<char>(in), {}};
      Check(written.size() == static_cast<std::size_t>(entry.size), "the extracted size");
      for (std::size_t k = 0; k < written.size(); ++k) {
        auto expected = static_cast<unsigned char>(data[static_cast<std::size_t>(entry.offset) + k] + 18);
        if (static_cast<unsigned char>(written[k]) != expected) Check(false, "the extracted bytes");
      }
    }
    std::remove(output.c_str());
  }
  std::int32_t offset = 0;
  std::int32_t found = 0;
  LibraryFind("\x01no such entry", &offset, &found);
  LibraryClose();
  return 0;
}
