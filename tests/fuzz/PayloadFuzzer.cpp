// Fuzzes payload verification as `kitpack verify DATA.CMP` does it: the input
// is an SZDD stream, expanded as the archive walk reads it, the archive
// checked entry by entry, its names read in the default code page, and the
// stream's soundness told at the end; then once more as list walks it,
// passing over every entry's data. Everything must end with a defined
// result.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kit/CodePage.h"
#include "kit/ExpandedArchive.h"
#include "kit/LibraryScan.h"
#include "kit/szdd/SzddReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CodePage codePage;
  std::string error;
  static const bool opened = codePage.Open(DEFAULT_CODE_PAGE, error);
  if (!opened) std::abort();
  for (const bool readsData : {true, false}) {
    SzddReader reader;
    if (!reader.Open(data, size, error)) return 0;
    ExpandedArchive archive;
    ExpandedArchiveBegin(archive, reader);
    if (readsData) {
      LibraryCheck check;
      VerifyLibrary(archive.input, codePage, check);
    } else {
      LibraryScanner scanner(archive.input, codePage);
      ScannedEntry entry;
      if (scanner.ReadHeader(error)) {
        while (scanner.Next(entry, error) == ScanStep::Entry) {
        }
      }
    }
    ExpandedArchiveDrain(archive);
    reader.Finish(error);
  }
  return 0;
}
