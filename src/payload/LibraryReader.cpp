#include "payload/LibraryReader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Scoped.h"
#include "base/Transfer.h"
#include "payload/EntryFiles.h"
#include "payload/LibraryWalk.h"

LibraryReference CurrentLibrary = {nullptr, nullptr};

namespace {

FileHandle OpenArchive() { return FileHandle(std::fopen(CurrentLibrary.path, "rb")); }

}  // namespace

bool FileExists(const char* path) {
  if (path == nullptr) return false;
  return FileHandle(std::fopen(path, "rb")) != nullptr;
}

int LibraryOpen(const char* path, const char* accessName) {
  if (!FileExists(path)) return 0;
  CurrentLibrary.path = path;
  CurrentLibrary.accessName = accessName;
  return LibraryVerify();
}

void LibraryClose() {
  CurrentLibrary.accessName = nullptr;
  CurrentLibrary.path = nullptr;
}

bool LibraryIsOpen() { return CurrentLibrary.path != nullptr; }

int LibraryVerify() {
  if (!LibraryIsOpen() || CurrentLibrary.accessName == nullptr) return 0;
  FileHandle archive = OpenArchive();
  if (!archive) return 0;
  // A header cut short cannot carry the access name, whatever bytes it has.
  ArchiveInput input = ArchiveInStream(archive.get(), ARCHIVE_LENGTH_UNKNOWN);
  LibraryWalk walk;
  return LibraryWalkBegin(walk, input, CurrentLibrary.accessName) == LibraryFault::None;
}

int LibraryFind(const char* name, std::int32_t* offset, std::int32_t* size) {
  if (!LibraryIsOpen() || name == nullptr) return 0;
  FileHandle archive = OpenArchive();
  if (!archive) return 0;
  // The search reads headers only, so the archive's length is not needed: a
  // seek past the end is allowed, and the next read then ends the list. The
  // walk ends, too, at an invalid entry and where the data offsets would
  // leave the 32-bit range.
  ArchiveInput input = ArchiveInStream(archive.get(), ARCHIVE_LENGTH_UNKNOWN);
  LibraryWalk walk;
  if (LibraryWalkBegin(walk, input, nullptr) != LibraryFault::None) return 0;
  WalkedEntry entry;
  while (LibraryWalkNext(walk, entry) == WalkStep::Entry) {
    if (std::strcmp(entry.header.name, name) == 0) {
      *offset = static_cast<std::int32_t>(entry.dataOffset);
      *size = entry.size;
      return 1;
    }
  }
  return 0;
}

int LibraryExtract(const char* directory, const char* name) {
  if (!LibraryVerify()) return 0;
  HeapBlock<unsigned char> buffer(static_cast<unsigned char*>(std::malloc(COPY_BUFFER)));
  if (!buffer) return 0;
  std::int32_t offset = 0;
  std::int32_t size = 0;
  if (!LibraryFind(name, &offset, &size)) return 0;

  FileHandle archive = OpenArchive();
  if (!archive) return 0;
  // An entry whose data runs past the end of the archive fails before its
  // output file is touched.
  const std::int64_t length = StreamLength(archive.get());
  if (length < 0 || static_cast<std::int64_t>(offset) + size > length) return 0;
  return WriteEntryFile(archive.get(), offset, size, directory, name, buffer.get()) ? 1 : 0;
}
