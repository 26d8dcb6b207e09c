// Fuzzes payload verification as `kitpack verify DATA.CMP` does it: the input
// is an SZDD stream, expanded, and the archive it yields checked entry by
// entry, its names read in the default code page and in two whose second
// bytes may be a backslash's. Everything must end with a defined result.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/CodePage.h"
#include "kit/LibraryScan.h"
#include "kit/szdd/Szdd.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> archive;
  std::string error;
  if (!SzddExpand(data, size, archive, error)) return 0;
  for (unsigned number : {DEFAULT_CODE_PAGE, 932u, 950u}) {
    ArchiveInput input = ArchiveInMemory(archive.data(), archive.size());
    LibraryCheck check;
    VerifyLibrary(input, Opened(number), check);
  }
  return 0;
}
