// list: the entries of an archive or of a compressed payload, as the walk
// meets them.
#include <cinttypes>
#include <cstdio>

#include "kit/ArchiveSource.h"
#include "kit/CommandOutput.h"
#include "kit/KitCommands.h"
#include "kit/KitStep.h"
#include "kit/PathDisplay.h"

namespace {

// Prints every entry; false, with the problem, when the walk cannot go on.
bool ListEntries(LibraryScanner& scanner, std::size_t& entries, std::uint64_t& bytes, std::string& error) {
  std::printf("%12s %12s  %s\n", "SIZE", "OFFSET", "NAME");
  ScannedEntry entry;
  for (;;) {
    ScanStep step = scanner.Next(entry, error);
    if (step == ScanStep::Invalid) return false;
    if (step == ScanStep::End) return true;
    std::printf("%12" PRId32 " %12" PRId64 "  %s\n", entry.size, entry.dataOffset, entry.shown.c_str());
    ++entries;
    bytes += static_cast<std::uint64_t>(entry.size);
  }
}

}  // namespace

int ListCommand(const std::filesystem::path& file, const CodePage& codePage) {
  KitStep step("listing " + DisplayPath(file));
  ArchiveSource source;
  std::string error;
  if (!source.Open(file, error)) return Fail(error);
  LibraryScanner scanner(source.Input(), codePage);
  std::size_t entries = 0;
  std::uint64_t bytes = 0;
  // A payload whose stream is broken is told as such, rather than by what
  // its expansion cut short.
  const bool headed = scanner.ReadHeader(error);
  const bool listed = headed && ListEntries(scanner, entries, bytes, error);
  std::string broken;
  if (!source.Finish(broken)) return Fail(broken);
  if (!listed) return Fail(DisplayPath(file) + ": " + error);
  std::printf("%zu entries, %" PRIu64 " data bytes\n", entries, bytes);
  const LibraryMarking marking = scanner.Marking();
  std::printf("%s\n", marking == LibraryMarking::Checked   ? "checked: the headers carry CRCs, which verify compares"
                      : marking == LibraryMarking::Damaged ? "the check marker or the header's CRC is damaged"
                                                           : "unchecked: no check marker");
  if (scanner.TrailingBytes() > 0) {
    Note(DisplayPath(file) + ": " + std::to_string(scanner.TrailingBytes()) + " bytes left over after the last entry");
  }
  return 0;
}
