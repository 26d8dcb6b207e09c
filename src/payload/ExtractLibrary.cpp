#include "payload/ExtractLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/Fatal.h"
#include "base/ProgressProtocol.h"
#include "base/Scoped.h"
#include "base/Transfer.h"
#include "base/WizardState.h"
#include "payload/EntryFiles.h"
#include "payload/ExpandPayload.h"
#include "payload/InstallTarget.h"
#include "payload/LibraryIndex.h"

namespace {

void CreateOneDirectory(const char* path, void*) { CreateDirectoryA(path, nullptr); }

// The archive opened for a pass from its start; ends the process with
// "Cannot open uncompressed library." when it cannot be opened.
FileHandle OpenArchive() {
  char path[PATH_BUFFER];
  if (!FormLibraryPath(path)) ReportFatal(FATAL_OPEN_LIBRARY);
  FileHandle archive(std::fopen(path, "rb"));
  if (!archive) ReportFatal(FATAL_OPEN_LIBRARY);
  return archive;
}

}  // namespace

int LibraryCountEntries(LibraryIndex& index) {
  // The pass checks the access name itself, with every other rule, so the
  // library is not opened for it: a missing archive is the same failure as
  // one without the access name.
  FileHandle archive = OpenArchive();
  // The pass reads one header at a time between seeks: unbuffered, a read
  // takes from the file no more than it asks for.
  std::setvbuf(archive.get(), nullptr, _IONBF, 0);
  // Where the expansion checked the bytes it wrote, their data's CRCs among
  // them, this pass reads the headers alone; otherwise it checks everything.
  IndexResult result = IndexResult::Ok;
  if (!ExpandedArchiveVerdict(result)) {
    result = IndexLibrary(archive.get(), InstallNameTarget(), index, DataCrcs::Check);
  } else if (result == IndexResult::Ok) {
    result = IndexLibrary(archive.get(), InstallNameTarget(), index, DataCrcs::Skip);
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

void ExtractLibrary(HWND window) {
  // The index lives in this frame rather than in process-wide storage: a
  // global object with a destructor needs start-up code that SETUP.EXE does
  // without. An archive that verified a moment ago but cannot be read now
  // would otherwise install nothing and still end in the completion notice.
  LibraryIndex index;
  const int count = LibraryCountEntries(index);
  if (count < 0) ReportFatal(FATAL_OPEN_LIBRARY);

  // The count pass checked the archive whole, its access name included.
  FileHandle walk = OpenArchive();
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
  // The name splits where the machine's code page reads a separator, as the
  // count pass's checks split it.
  ForEachEntryDirectory(directory, name, InstallNameTarget().codePage, CreateOneDirectory, nullptr);
}

int DeleteLibraryArchive() {
  char path[PATH_BUFFER];
  if (!FormLibraryPath(path)) return -1;
  return DeleteFileA(path) ? 0 : -1;
}
