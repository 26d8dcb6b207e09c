// Fuzzes the installer's pass over the whole archive: the input is a
// DATA.VNX. Besides surviving it under the sanitizers, the pass must keep its
// promises: an archive it accepts holds exactly the entries a walk of the
// bytes finds, each within the file, with a name the extraction may write,
// and for each the data that a search by name from the start of the archive
// finds; a checked archive's CRCs all agree; a refused one leaves nothing.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "payload/EntryName.h"
#include "payload/LibraryFormat.h"
#include "payload/LibraryIndex.h"

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

// The entries as the format lays them out, found here without the pass.
std::vector<Walked> Walk(const std::uint8_t* data, std::size_t size) {
  std::vector<Walked> entries;
  std::size_t at = LIBRARY_HEADER_SIZE;
  while (size >= LIBRARY_ENTRY_HEADER_SIZE && at <= size - LIBRARY_ENTRY_HEADER_SIZE) {
    LibraryEntryHeader header;
    std::memcpy(&header, data + at, sizeof header);
    const std::uint32_t dataCrc = StoredDataCrc(header);
    Check(RestoreEntryHeader(header) == 1, "an accepted archive has an invalid entry header");
    const std::size_t offset = at + LIBRARY_ENTRY_HEADER_SIZE;
    Check(offset + static_cast<std::size_t>(EntrySize(header)) <= size, "accepted data runs past the end");
    entries.push_back({header.name, offset, EntrySize(header), dataCrc});
    at = offset + static_cast<std::size_t>(EntrySize(header));
  }
  return entries;
}

std::uint32_t RestoredCrc(const std::uint8_t* data, std::int32_t size) {
  std::vector<unsigned char> plain(data, data + size);
  DescrambleData(plain.data(), size);
  return static_cast<std::uint32_t>(crc32(0, plain.data(), static_cast<uInt>(plain.size())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The directory's length decides which names fit: take it from the input.
  const std::size_t directoryLength = size > 0 ? data[0] % 64 : 10;
  const std::string directory = "C:\\" + std::string(directoryLength, 'D');

  std::FILE* file = std::tmpfile();
  if (file == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fflush(file);
  LibraryIndex index;
  const IndexResult result = IndexLibrary(file, directory.c_str(), index, DataCrcs::Check);
  std::fclose(file);

  if (result != IndexResult::Ok) {
    Check(index.Count() == 0, "a refused archive left entries in the index");
    Check(index.Problem()[0] != '\0', "a refusal without a reason");
    return 0;
  }
  const std::vector<Walked> entries = Walk(data, size);
  Check(index.Count() == entries.size(), "the entry count differs from a walk of the bytes");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Walked& entry = entries[i];
    const char* name = index.Name(i);
    Check(entry.name == name, "a name differs from the entry header's");
    Check(index[i].dataOffset == entry.offset && index[i].size == entry.size, "offset or size differs");
    Check(IsSafeEntryName(name), "an accepted name is not safe to write");
    Check(directory.size() + 1 + std::strlen(name) <= PATH_LIMIT, "an accepted name does not fit");
    const char* top = (name[0] == '\\' || name[0] == '/') ? name + 1 : name;
    Check(strcasecmp(top, LIBRARY_ARCHIVE_NAME) != 0, "an entry may overwrite the archive");
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
