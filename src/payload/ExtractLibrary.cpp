#include "payload/ExtractLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/Fatal.h"
#include "base/Format.h"
#include "base/ProgressProtocol.h"
#include "base/Scoped.h"
#include "base/Transfer.h"
#include "base/WizardState.h"
#include "payload/EntryFiles.h"
#include "payload/ExpandPayload.h"
#include "payload/LibraryFormat.h"
#include "payload/LibraryIndex.h"

namespace {

// The archive's path in the installation directory. The page's field holds
// at most 258 characters, so it always fits the 272 bytes of the passes.
void FormArchivePath(char* path, std::size_t size) {
  if (!FormatText(path, size, "%s\\%s", InstallDir, LIBRARY_ARCHIVE_NAME)) ReportFatal(FATAL_OPEN_LIBRARY);
}

void CreateOneDirectory(const char* path, void*) { CreateDirectoryA(path, nullptr); }

// The count pass, into the index that the extraction then walks. The index
// lives in the caller's frame rather than in process-wide storage: a global
// object with a destructor needs start-up code that SETUP.EXE does without.
int CountEntries(LibraryIndex& index) {
  char path[ENTRY_DIRECTORY_BUFFER];
  FormArchivePath(path, sizeof path);
  // The pass checks the access name itself, with every other rule, so the
  // library is not opened for it: a missing archive is the same failure as
  // one without the access name.
  FileHandle archive(std::fopen(path, "rb"));
  if (!archive) ReportFatal(FATAL_OPEN_LIBRARY);
  // The pass reads one header at a time between seeks: unbuffered, a read
  // takes from the file no more than it asks for.
  std::setvbuf(archive.get(), nullptr, _IONBF, 0);
  // Where the expansion checked the bytes it wrote, their data's CRCs among
  // them, this pass reads the headers alone; otherwise it checks everything.
  IndexResult result = IndexResult::Ok;
  if (!ExpandedArchiveVerdict(result)) {
    result = IndexLibrary(archive.get(), InstallDir, index, DataCrcs::Check);
  } else if (result == IndexResult::Ok) {
    result = IndexLibrary(archive.get(), InstallDir, index, DataCrcs::Skip);
  }
  archive.reset();
  switch (result) {
    case IndexResult::Ok: return static_cast<int>(index.Count());
    case IndexResult::Unreadable: return -1;
    case IndexResult::NoMemory: ReportFatal(FATAL_OUT_OF_MEMORY);
    case IndexResult::Invalid: break;
  }
  ReportFatal(FATAL_OPEN_LIBRARY);
}

}  // namespace

int LibraryCountEntries() {
  LibraryIndex index;
  return CountEntries(index);
}

void ExtractLibrary(HWND window) {
  // An archive that verified a moment ago but cannot be read now would
  // otherwise install nothing and still end in the completion notice.
  LibraryIndex index;
  const int count = CountEntries(index);
  if (count < 0) ReportFatal(FATAL_OPEN_LIBRARY);

  char path[ENTRY_DIRECTORY_BUFFER];
  FormArchivePath(path, sizeof path);
  // The count pass checked the archive whole, its access name included.
  FileHandle walk(std::fopen(path, "rb"));
  if (!walk) ReportFatal(FATAL_OPEN_LIBRARY);
  // Each entry's data is read once, straight into the copy buffer: a
  // buffered stream would read on into the next header, only to throw that
  // away at the next seek.
  std::setvbuf(walk.get(), nullptr, _IONBF, 0);
  HeapBlock<unsigned char> buffer(static_cast<unsigned char*>(std::malloc(COPY_BUFFER)));
  if (!buffer) ReportFatal(FATAL_EXTRACT_FILE);

  ProgressBegin(window, count);
  // One stream, front to back: each entry's data follows its header, except
  // where an earlier entry of the same name gives the data.
  for (std::size_t i = 0; i < index.Count(); ++i) {
    const char* name = index.Name(i);
    const IndexedEntry& source = index[index[i].source];
    MakeEntryDirectories(InstallDir, name);
    if (!WriteEntryFile(walk.get(), source.dataOffset, source.size, InstallDir, name, buffer.get())) {
      ReportFatal(FATAL_EXTRACT_FILE);
    }
    ProgressStep(window, i + 1 == index.Count());
  }
}

void MakeEntryDirectories(const char* directory, const char* name) {
  ForEachEntryDirectory(directory, name, CreateOneDirectory, nullptr);
}

int DeleteLibraryArchive() {
  char path[PATH_BUFFER];
  if (!FormatText(path, sizeof path, "%s\\%s", InstallDir, LIBRARY_ARCHIVE_NAME)) return -1;
  return DeleteFileA(path) ? 0 : -1;
}
