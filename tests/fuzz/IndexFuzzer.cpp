// Fuzzes the installer's pass over the whole archive, and the walk under it:
// the input is a DATA.VNX. Besides surviving it under the sanitizers, the
// walk over the bytes in memory must give what a reading of the bytes here
// finds, entry by entry, and stop where and why that reading stops; and the
// pass must keep its promises: an archive it accepts holds exactly the
// entries a walk of the bytes finds, each within the file, with a name the
// extraction may write, and for each the data that a search by name from the
// start of the archive finds; a checked archive's CRCs all agree; a refused
// one leaves nothing.
#include <strings.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/NameCharacters.h"
#include "base/Paths.h"
#include "payload/EntryName.h"
#include "payload/LibraryFormat.h"
#include "payload/LibraryIndex.h"
#include "payload/LibraryWalk.h"

namespace {

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "the archive pass breaks a promise: %s\n", what);
    std::abort();
  }
}

struct Walked {
  std::string name;
  std::size_t offset;
  std::int32_t size;
  std::uint32_t dataCrc;
};

std::uint32_t Little32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A scrambled, zero-terminated string read from at most `field` bytes:
// character i is stored as (character + i + 37) mod 256.
std::string Unscramble(const std::uint8_t* stored, std::size_t field) {
  std::string plain;
  for (std::size_t i = 0; i < field && stored[i] != 0; ++i) {
    const char c = static_cast<char>(stored[i] - (i + 37));
    if (c == 0) break;
    plain.push_back(c);
  }
  return plain;
}

struct Reading {
  std::vector<Walked> entries;
  LibraryFault fault = LibraryFault::None;
  int faultEntry = -1;
  std::int64_t missing = 0;
  std::size_t trailing = 0;
};

// The walk as the format describes it, on the bytes, without the walk's code.
Reading ReadBytes(const std::uint8_t* data, std::size_t size) {
  Reading r;
  if (size < LIBRARY_HEADER_SIZE) {
    r.fault = LibraryFault::HeaderShort;
    return r;
  }
  // A field with no zero byte is restored whole, and so is longer than the name.
  if (Unscramble(data + 11, 12) != LIBRARY_ACCESS_NAME) {
    r.fault = LibraryFault::NoAccessName;
    return r;
  }
  std::size_t at = LIBRARY_HEADER_SIZE;
  for (int index = 0;; ++index) {
    if (size - at < LIBRARY_ENTRY_HEADER_SIZE) {
      r.trailing = size - at;
      return r;
    }
    const std::uint8_t* header = data + at;
    const auto entrySize = static_cast<std::int32_t>(Little32(header + 516));
    const bool terminated = std::memchr(header + 256, 0, LIBRARY_NAME_FIELD) != nullptr;
    if (!terminated || entrySize < 0) {
      r.fault = !terminated ? LibraryFault::NameUnterminated : LibraryFault::SizeNegative;
      r.faultEntry = index;
      return r;
    }
    const std::size_t offset = at + LIBRARY_ENTRY_HEADER_SIZE;
    r.entries.push_back({Unscramble(header + 256, LIBRARY_NAME_FIELD), offset, entrySize, Little32(header + 520)});
    if (static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(entrySize) > size) {
      r.fault = LibraryFault::DataPastEnd;
      r.faultEntry = index;
      r.missing = static_cast<std::int64_t>(offset) + entrySize - static_cast<std::int64_t>(size);
      return r;
    }
    at = offset + static_cast<std::size_t>(entrySize);
  }
}

// The walk over the bytes in memory, its data passed over, against the
// reading above.
void CompareWalk(const std::uint8_t* data, std::size_t size) {
  const Reading expected = ReadBytes(data, size);
  ArchiveInput input = ArchiveInMemory(data, size);
  LibraryWalk walk;
  std::vector<Walked> entries;
  if (LibraryWalkBegin(walk, input, LIBRARY_ACCESS_NAME) == LibraryFault::None) {
    WalkedEntry entry;
    while (LibraryWalkNext(walk, entry) == WalkStep::Entry) {
      entries.push_back(
          {entry.header.name, static_cast<std::size_t>(entry.dataOffset), entry.size, StoredDataCrc(entry.header)});
    }
  }
  Check(walk.fault == expected.fault, "the walk stops for another reason than the bytes give");
  Check(walk.faultEntry == expected.faultEntry, "the walk stops at another entry");
  Check(walk.missing == expected.missing && walk.trailing == expected.trailing, "the walk ends elsewhere");
  Check(entries.size() == expected.entries.size(), "the walk gives another number of entries");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Check(entries[i].name == expected.entries[i].name, "the walk gives another name");
    Check(entries[i].offset == expected.entries[i].offset && entries[i].size == expected.entries[i].size,
          "the walk gives another offset or size");
  }
}

std::uint32_t RestoredCrc(const std::uint8_t* data, std::int32_t size) {
  std::vector<unsigned char> plain(data, data + size);
  DescrambleData(plain.data(), size);
  return static_cast<std::uint32_t>(crc32(0, plain.data(), static_cast<uInt>(plain.size())));
}

// What any accepted name must be, seen here without the rule's code, its
// characters read by the shared walk alone: its file's path and every
// directory's within the platform's limits, its first component not the
// archive's own name, no character cut short and none that Windows does not
// allow.
void CheckWritable(const char* name, const NameTarget& target) {
  Check(target.directoryLength + 1 + std::strlen(name) <= PATH_LIMIT, "an accepted name does not fit");
  const char* start = (name[0] == '\\' || name[0] == '/') ? name + 1 : name;
  const std::size_t length = std::strlen(start);
  std::size_t first = length;
  for (std::size_t i = 0, step = 0; i < length; i += step) {
    step = CharacterLength(target.codePage, start + i, length - i);
    const auto c = static_cast<unsigned char>(start[i]);
    Check(step == 2 || !IsLeadByte(target.codePage, c), "an accepted name ends a character short");
    Check(std::strchr(":<>\"|?*", c) == nullptr, "an accepted name holds a character Windows refuses");
    if (c != '\\' && c != '/') continue;
    if (first == length) first = i;
    Check(target.directoryLength + 1 + i <= DIRECTORY_PATH_LIMIT,
          "an accepted name makes a directory whose path is too long");
  }
  Check(first != std::strlen(LIBRARY_ARCHIVE_NAME) || strncasecmp(start, LIBRARY_ARCHIVE_NAME, first) != 0,
        "an entry's first component is the archive's own name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CompareWalk(data, size);

  // The directory's length decides which names fit, and the code page how
  // their bytes read: take both from the input.
  static const unsigned CODE_PAGES[] = {1252, 932, 949, 950};
  const NameTarget target = {size > 0 ? data[0] % 64u : 10u, size > 0 ? CODE_PAGES[data[0] / 64] : 1252u};

  std::FILE* file = std::tmpfile();
  if (file == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fflush(file);
  LibraryIndex index;
  const IndexResult result = IndexLibrary(file, target, index, DataCrcs::Check);
  std::fclose(file);

  if (result != IndexResult::Ok) {
    Check(index.Count() == 0, "a refused archive left entries in the index");
    Check(index.Problem()[0] != '\0', "a refusal without a reason");
    return 0;
  }
  const Reading reading = ReadBytes(data, size);
  Check(reading.fault == LibraryFault::None, "an accepted archive is invalid as the bytes are read");
  const std::vector<Walked>& entries = reading.entries;
  Check(index.Count() == entries.size(), "the entry count differs from a walk of the bytes");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Walked& entry = entries[i];
    const char* name = index.Name(i);
    Check(entry.name == name, "a name differs from the entry header's");
    Check(index[i].dataOffset == entry.offset && index[i].size == entry.size, "offset or size differs");
    Check(CheckEntryName(name, target) == NameFault::None, "an accepted name breaks the entry-name rule");
    CheckWritable(name, target);
    std::size_t first = 0;
    while (entries[first].name != entry.name) ++first;
    Check(index[i].source == first, "the data is not the first entry's of that name");
    if (index.Checked()) {
      Check(RestoredCrc(data + entry.offset, entry.size) == entry.dataCrc, "a checked archive's data CRC differs");
    }
  }
  if (index.Checked()) {
    LibraryHeader header;
    std::memcpy(&header, data, sizeof header);
    Check(ReadLibraryMarking(header) == LibraryMarking::Checked, "checks made on an unmarked archive");
  }
  return 0;
}
