// Fuzzes payload verification as `kitpack verify DATA.CMP` does it: the input
// is an SZDD stream, expanded, and the archive it yields checked entry by
// entry, its names read in the default code page. Everything must end with a
// defined result.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/CodePage.h"
#include "kit/LibraryScan.h"
#include "kit/szdd/Szdd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> archive;
  std::string error;
  if (!SzddExpand(data, size, archive, error)) return 0;
  static CodePage codePage;
  static const bool opened = codePage.Open(DEFAULT_CODE_PAGE, error);
  if (!opened) std::abort();
  ArchiveInput input = ArchiveInMemory(archive.data(), archive.size());
  LibraryCheck check;
  VerifyLibrary(input, codePage, check);
  return 0;
}
