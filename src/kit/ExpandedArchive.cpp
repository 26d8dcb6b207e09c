#include "kit/ExpandedArchive.h"

#include <algorithm>
#include <type_traits>

#include "payload/LibraryFormat.h"

static_assert(std::is_standard_layout<ExpandedArchive>::value, "the read function finds the record from its input");

namespace {

// Takes up to count bytes from the expansion into the CRC.
std::size_t Take(ExpandedArchive& archive, void* into, std::size_t count) {
  const std::size_t got = archive.reader->Read(into, count);
  archive.crc = Crc32(archive.crc, static_cast<const unsigned char*>(into), got);
  archive.consumed += static_cast<std::int64_t>(got);
  return got;
}

// Catches up with a position the walk moved past without reading. False
// when the expansion ends first.
bool CatchUp(ExpandedArchive& archive) {
  unsigned char passed[1 << 16];
  while (archive.consumed < archive.input.position) {
    const auto gap = static_cast<std::uint64_t>(archive.input.position - archive.consumed);
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(gap, sizeof passed));
    if (Take(archive, passed, wanted) < wanted) return false;
  }
  return true;
}

std::size_t ReadExpanded(ArchiveInput& input, void* into, std::size_t count) {
  auto& archive = reinterpret_cast<ExpandedArchive&>(input);
  if (!CatchUp(archive)) return 0;
  const std::size_t got = Take(archive, into, count);
  input.position += static_cast<std::int64_t>(got);
  return got;
}

}  // namespace

void ExpandedArchiveBegin(ExpandedArchive& archive, SzddReader& reader) {
  archive.input = {ReadExpanded, nullptr, nullptr, static_cast<std::int64_t>(reader.Declared()), 0, false};
  archive.reader = &reader;
  archive.consumed = 0;
  archive.crc = 0;
}

void ExpandedArchiveDrain(ExpandedArchive& archive) {
  unsigned char rest[1 << 16];
  CatchUp(archive);
  while (Take(archive, rest, sizeof rest) > 0) {
  }
}
