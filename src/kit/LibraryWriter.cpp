#include "kit/LibraryWriter.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "base/Scoped.h"
#include "kit/NamePolicy.h"
#include "kit/PathDisplay.h"
#include "kit/SystemIo.h"
#include "payload/LibraryFormat.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t COPY_CHUNK = 1 << 20;

bool WriteAll(ByteSink& sink, const void* data, std::size_t size, std::string& error) {
  return sink.Write(static_cast<const unsigned char*>(data), size, error);
}

// Fills an entry header with the stored name and the size, not yet sealed.
// Fails, naming the entry, when either cannot be stored.
bool PrepareEntryHeader(const std::string& name, std::uint64_t size, LibraryEntryHeader& header, std::string& error) {
  std::memset(&header, 0, sizeof header);
  if (size > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE) ||
      !ScrambleName(name.data(), name.size(), header.name, sizeof header.name)) {
    error = name + ": " + (StoredNameProblem(name).empty() ? "too large for the archive" : StoredNameProblem(name));
    return false;
  }
  SetEntrySize(header, static_cast<std::int32_t>(size));
  return true;
}

// Seals the header with the CRC of the entry's plain data and writes it.
bool WriteSealedEntryHeader(ByteSink& sink, LibraryEntryHeader& header, std::uint32_t dataCrc, std::string& error) {
  SealEntryHeader(header, dataCrc);
  return WriteAll(sink, &header, sizeof header, error);
}

using ChunkTaker = std::function<bool(unsigned char* data, std::size_t size)>;

// Reads the file's bytes from where the stream stands, a buffer at a time,
// and hands each piece to take, which may change it in place. Fails, naming
// the file, on a read error or when the file no longer has the size it was
// gathered with; false from take ends the read, its message in error.
bool ReadSource(std::FILE* input, const TreeFile& file, unsigned char* buffer, const ChunkTaker& take,
                std::string& error) {
  std::uint64_t remainder = file.size;
  while (remainder > 0) {
    std::size_t chunk = remainder < COPY_CHUNK ? static_cast<std::size_t>(remainder) : COPY_CHUNK;
    if (std::fread(buffer, 1, chunk, input) != chunk) {
      error = DisplayPath(file.source) + (std::ferror(input) ? ": read failed: " + SystemError()
                                                             : std::string(": the file shrank while it was packed"));
      return false;
    }
    if (!take(buffer, chunk)) return false;
    remainder -= chunk;
  }
  // The entry header holds the size: a file that grew since the walk cannot
  // be packed whole.
  if (std::fgetc(input) != EOF) {
    error = DisplayPath(file.source) + ": the file grew while it was packed";
    return false;
  }
  return true;
}

// A file larger than the buffer is read a second time to be copied. Its CRC
// is taken again on the way, so that a change between the two reads cannot
// give an entry whose data disagrees with its sealed header.
bool CopyAgain(std::FILE* input, const TreeFile& file, unsigned char* buffer, std::uint32_t crc, const ChunkTaker& copy,
               std::string& error) {
  if (std::fseek(input, 0, SEEK_SET) != 0) {
    error = DisplayPath(file.source) + ": cannot read it a second time: " + SystemError();
    return false;
  }
  std::uint32_t copied = 0;
  auto copyWithCrc = [&](unsigned char* data, std::size_t size) {
    copied = Crc32(copied, data, size);
    return copy(data, size);
  };
  if (!ReadSource(input, file, buffer, copyWithCrc, error)) return false;
  if (copied == crc) return true;
  error = DisplayPath(file.source) + ": the file changed while it was packed";
  return false;
}

// One file as an entry: the header sealed with the CRC of its bytes, then
// its bytes, each piece handed to copy. The entry header goes before the
// data and holds the data's CRC, so the whole file is read once for the CRC
// before anything of it is written.
bool WriteFileEntry(const TreeFile& file, ByteSink& sink, unsigned char* buffer, const ChunkTaker& copy,
                    std::string& error) {
  LibraryEntryHeader header;
  if (!PrepareEntryHeader(file.name, file.size, header, error)) return false;
  FileHandle input(OpenForReading(file.source));
  if (!input) {
    error = DisplayPath(file.source) + ": cannot open: " + SystemError();
    return false;
  }
  std::uint32_t crc = 0;
  auto addToCrc = [&crc](unsigned char* data, std::size_t size) {
    crc = Crc32(crc, data, size);
    return true;
  };
  if (!ReadSource(input.get(), file, buffer, addToCrc, error)) return false;
  if (!WriteSealedEntryHeader(sink, header, crc, error)) return false;
  // That one read left a file no larger than the buffer whole in it.
  if (file.size <= COPY_CHUNK) return file.size == 0 || copy(buffer, static_cast<std::size_t>(file.size));
  return CopyAgain(input.get(), file, buffer, crc, copy, error);
}

}  // namespace

bool VectorSink::Write(const unsigned char* data, std::size_t size, std::string&) {
  out_.insert(out_.end(), data, data + size);
  return true;
}

std::uint64_t LibrarySize(const std::vector<TreeFile>& files) {
  std::uint64_t total = LIBRARY_HEADER_SIZE;
  for (const TreeFile& file : files) total += LIBRARY_ENTRY_HEADER_SIZE + file.size;
  return total;
}

bool WriteLibraryHeader(ByteSink& sink, std::string& error) {
  LibraryHeader header;
  std::memset(&header, 0, sizeof header);
  ScrambleName(LIBRARY_ACCESS_NAME, std::strlen(LIBRARY_ACCESS_NAME), header.accessName, sizeof header.accessName);
  MarkLibraryHeader(header);
  return WriteAll(sink, &header, sizeof header, error);
}

bool WriteLibraryEntry(ByteSink& sink, const std::string& name, const std::uint8_t* data, std::size_t size,
                       std::string& error) {
  LibraryEntryHeader header;
  if (!PrepareEntryHeader(name, size, header, error) ||
      !WriteSealedEntryHeader(sink, header, Crc32(0, data, size), error)) {
    return false;
  }
  std::vector<unsigned char> stored(data, data + size);
  ScrambleData(stored.data(), stored.size());
  return WriteAll(sink, stored.data(), stored.size(), error);
}

bool WriteLibrary(const std::vector<TreeFile>& files, ByteSink& sink, std::string& error,
                  const WorkProgress& progress) {
  const std::uint64_t total = LibrarySize(files);
  std::uint64_t done = 0;
  if (!WriteLibraryHeader(sink, error)) return false;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[COPY_CHUNK]);
  for (const TreeFile& file : files) {
    auto copy = [&](unsigned char* data, std::size_t size) {
      ScrambleData(data, size);
      if (!sink.Write(data, size, error)) return false;
      done += size;
      if (progress) progress(done, total);
      return true;
    };
    if (!WriteFileEntry(file, sink, buffer.get(), copy, error)) return false;
    done += LIBRARY_ENTRY_HEADER_SIZE;
  }
  if (progress) progress(total, total);
  return true;
}
