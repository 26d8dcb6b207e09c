#include "payload/LibraryReader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Format.h"
#include "base/Paths.h"
#include "base/Scoped.h"
#include "base/Transfer.h"

LibraryReference CurrentLibrary = {nullptr, nullptr};

namespace {

// Reused by every verification and every search.
LibraryHeader HeaderBuffer;
LibraryEntryHeader EntryHeaderBuffer;

FileHandle OpenArchive() { return FileHandle(std::fopen(CurrentLibrary.path, "rb")); }

// Reads exactly count bytes; false at the end of the file or on an error.
bool ReadExactly(std::FILE* file, void* into, std::size_t count) { return std::fread(into, 1, count, file) == count; }

// The archive's length, or -1 when it cannot be told.
long ArchiveLength(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  return std::ftell(file);
}

// Removes the output file unless the extraction got to its end.
struct OutputGuard {
  const char* path;
  FileHandle file;
  bool done = false;
  ~OutputGuard() {
    if (done) return;
    file.reset();
    std::remove(path);
  }
};

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
  if (!ReadExactly(archive.get(), &HeaderBuffer, sizeof HeaderBuffer)) return 0;
  archive.reset();

  // Without a zero byte in its field the restored name runs to the end of the
  // header, and so is as long as the field.
  std::size_t length = DescrambleName(HeaderBuffer.accessName, sizeof HeaderBuffer.accessName);
  return length == std::strlen(CurrentLibrary.accessName) &&
         std::memcmp(HeaderBuffer.accessName, CurrentLibrary.accessName, length) == 0;
}

int LibraryFind(const char* name, std::int32_t* offset, std::int32_t* size) {
  if (!LibraryIsOpen() || name == nullptr) return 0;
  FileHandle archive = OpenArchive();
  if (!archive) return 0;
  if (!ReadExactly(archive.get(), &HeaderBuffer, sizeof HeaderBuffer)) return 0;

  // The data offset follows from the sizes, not from the stream position. It
  // is kept wide so that hostile sizes cannot wrap it; once it leaves the
  // format's 32-bit range nothing further can be a valid entry.
  std::int64_t dataOffset = LIBRARY_FIRST_DATA;
  while (dataOffset <= LIBRARY_MAX_SIZE) {
    if (!ReadExactly(archive.get(), &EntryHeaderBuffer, sizeof EntryHeaderBuffer)) return 0;
    if (!RestoreEntryHeader(EntryHeaderBuffer)) return 0;
    std::int32_t entrySize = EntrySize(EntryHeaderBuffer);
    if (std::strcmp(EntryHeaderBuffer.name, name) == 0) {
      *offset = static_cast<std::int32_t>(dataOffset);
      *size = entrySize;
      return 1;
    }
    // RestoreEntryHeader refused negative sizes, so the stream only ever moves
    // forward. A seek past the end is allowed; the next read then ends the list.
    if (std::fseek(archive.get(), static_cast<long>(entrySize), SEEK_CUR) != 0) return 0;
    dataOffset += static_cast<std::int64_t>(entrySize) + static_cast<std::int64_t>(LIBRARY_ENTRY_HEADER_SIZE);
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

  char path[PATH_BUFFER];
  if (!FormatText(path, sizeof path, "%s\\%s", directory, name)) return 0;

  FileHandle archive = OpenArchive();
  if (!archive) return 0;
  // An entry whose data runs past the end of the archive fails before its
  // output file is touched.
  long archiveLength = ArchiveLength(archive.get());
  if (archiveLength < 0 || static_cast<std::int64_t>(offset) + size > archiveLength) return 0;
  if (std::fseek(archive.get(), static_cast<long>(offset), SEEK_SET) != 0) return 0;

  OutputGuard output{path, FileHandle(std::fopen(path, "wb"))};
  if (!output.file) return 0;
  std::int32_t remainder = size;
  while (remainder > 0) {
    int chunk = remainder >= TRANSFER_CHUNK ? TRANSFER_CHUNK : static_cast<int>(remainder);
    auto count = static_cast<std::size_t>(chunk);
    if (std::fread(buffer.get(), 1, count, archive.get()) != count) return 0;
    DescrambleData(buffer.get(), chunk);
    if (std::fwrite(buffer.get(), 1, count, output.file.get()) != count) return 0;
    remainder -= chunk;
  }
  // A full disk may show itself only when the last buffered bytes go out.
  if (std::fclose(output.file.release()) != 0) return 0;
  output.done = true;
  return 1;
}
