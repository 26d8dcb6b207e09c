// Fuzzes payload verification as `kitpack verify DATA.CMP` does it: the input
// is an SZDD stream, expanded as the archive walk reads it, the archive
// checked entry by entry, its names read in the default code page and in two
// whose second bytes may be a backslash's, and the stream's soundness told
// at the end; then once more as list walks it, passing over every entry's
// data. Everything must end with a defined result.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kit/CodePage.h"
#include "kit/ExpandedArchive.h"
#include "kit/LibraryScan.h"
#include "kit/szdd/SzddReader.h"

namespace {

// The code page, opened once for the whole run.
const CodePage& Opened(unsigned number) {
  static CodePage pages[3];
  static const unsigned NUMBERS[] = {DEFAULT_CODE_PAGE, 932, 950};
  for (std::size_t i = 0; i < 3; ++i) {
    if (NUMBERS[i] != number) continue;
    std::string error;
    if (pages[i].Number() == 0 && !pages[i].Open(number, error)) std::abort();
    return pages[i];
  }
  std::abort();
}

// One pass over the payload: verified in the code page, or, when readsData
// is false, walked as list walks it.
void Pass(const std::uint8_t* data, std::size_t size, const CodePage& codePage, bool readsData) {
  SzddReader reader;
  std::string error;
  if (!reader.Open(data, size, error)) return;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (unsigned number : {DEFAULT_CODE_PAGE, 932u, 950u}) Pass(data, size, Opened(number), true);
  Pass(data, size, Opened(DEFAULT_CODE_PAGE), false);
  return 0;
}
