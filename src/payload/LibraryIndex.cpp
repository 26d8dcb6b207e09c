#include "payload/LibraryIndex.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Scoped.h"
#include "base/Transfer.h"
#include "payload/EntryName.h"

namespace {

constexpr std::size_t CHECK_CHUNK = TRANSFER_CHUNK;

bool ReadExactly(std::FILE* file, void* into, std::size_t count) { return std::fread(into, 1, count, file) == count; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (Upper(*a) != Upper(*b)) return false;
  }
  return *a == *b;
}

// The archive's own name at the top level, in any case, with or without the
// one leading separator that a name may have.
bool IsArchiveName(const char* name) {
  if (name[0] == '\\' || name[0] == '/') ++name;
  return SameIgnoringCase(name, LIBRARY_ARCHIVE_NAME);
}

// Grows a malloc'd array to hold at least `needed` elements, doubling.
template <typename T>
bool Reserve(T*& block, std::size_t& capacity, std::size_t needed) {
  if (needed <= capacity) return true;
  std::size_t grown = capacity < 64 ? 64 : capacity;
  while (grown < needed) grown *= 2;
  void* moved = std::realloc(block, grown * sizeof(T));
  if (moved == nullptr) return false;
  block = static_cast<T*>(moved);
  capacity = grown;
  return true;
}

// The CRC of the data's restored bytes, read from the stream's position on.
bool ReadDataCrc(std::FILE* archive, std::int32_t size, unsigned char* buffer, std::uint32_t& crc) {
  crc = 0;
  std::int32_t remainder = size;
  while (remainder > 0) {
    const std::size_t chunk =
        remainder < static_cast<std::int32_t>(CHECK_CHUNK) ? static_cast<std::size_t>(remainder) : CHECK_CHUNK;
    if (!ReadExactly(archive, buffer, chunk)) return false;
    DescrambleData(buffer, static_cast<std::int64_t>(chunk));
    crc = Crc32(crc, buffer, chunk);
    remainder -= static_cast<std::int32_t>(chunk);
  }
  return true;
}

}  // namespace

LibraryIndex::~LibraryIndex() { Clear(); }

void LibraryIndex::Clear() {
  std::free(entries_);
  std::free(names_);
  entries_ = nullptr;
  names_ = nullptr;
  count_ = capacity_ = namesUsed_ = namesCapacity_ = 0;
  problem_ = "";
  checked_ = false;
}

bool LibraryIndex::Append(const IndexedEntry& entry, const char* name, std::size_t length) {
  if (!Reserve(entries_, capacity_, count_ + 1) || !Reserve(names_, namesCapacity_, namesUsed_ + length + 1)) {
    return false;
  }
  entries_[count_] = entry;
  entries_[count_].nameOffset = static_cast<std::uint32_t>(namesUsed_);
  entries_[count_].source = static_cast<std::uint32_t>(count_);
  std::memcpy(names_ + namesUsed_, name, length + 1);
  namesUsed_ += length + 1;
  ++count_;
  return true;
}

// Of several entries with one name, each receives the data of the first of
// them, as a search by name from the start of the archive would find it.
// Names compare byte for byte. Sorting by name, then by position, puts every
// group of equal names together with its first entry in front.
bool LibraryIndex::FindSources() {
  if (count_ < 2) return true;
  HeapBlock<std::uint32_t[]> order(static_cast<std::uint32_t*>(std::malloc(count_ * sizeof(std::uint32_t))));
  if (!order) return false;
  for (std::size_t i = 0; i < count_; ++i) order[i] = static_cast<std::uint32_t>(i);
  std::sort(order.get(), order.get() + count_, [this](std::uint32_t a, std::uint32_t b) {
    const int byName = std::strcmp(Name(a), Name(b));
    return byName != 0 ? byName < 0 : a < b;
  });
  std::uint32_t first = order[0];
  for (std::size_t k = 1; k < count_; ++k) {
    const std::uint32_t i = order[k];
    if (std::strcmp(Name(i), Name(first)) == 0) {
      entries_[i].source = first;
    } else {
      first = i;
    }
  }
  return true;
}

IndexResult LibraryIndex::Refuse(IndexResult result, const char* problem) {
  Clear();
  problem_ = problem;
  return result;
}

const char* CheckLibraryHeader(LibraryHeader& header, bool& checked) {
  const LibraryMarking marking = ReadLibraryMarking(header);
  checked = marking == LibraryMarking::Checked;
  if (marking == LibraryMarking::Damaged) return "the check marker is damaged";
  const std::size_t accessLength = DescrambleName(header.accessName, sizeof header.accessName);
  if (accessLength != std::strlen(LIBRARY_ACCESS_NAME) ||
      std::memcmp(header.accessName, LIBRARY_ACCESS_NAME, accessLength) != 0) {
    return "the header does not carry the access name";
  }
  return nullptr;
}

const char* CheckEntryHeader(LibraryEntryHeader& entry, bool checked, std::size_t directoryLength) {
  if (checked && !EntryHeaderIntact(entry)) return "an entry header is damaged";
  if (std::memchr(entry.name, 0, sizeof entry.name) == nullptr) return "a name field has no end";
  if (EntrySize(entry) < 0) return "a size is negative";
  RestoreEntryHeader(entry);
  if (!IsSafeEntryName(entry.name)) return "a name is not safe to write";
  if (IsArchiveName(entry.name)) return "an entry has the archive's own name";
  if (directoryLength + 1 + std::strlen(entry.name) > PATH_LIMIT) return "a name is too long for the directory";
  return nullptr;
}

IndexResult IndexLibrary(std::FILE* archive, const char* directory, LibraryIndex& index, DataCrcs dataCrcs) {
  index.Clear();
  if (std::fseek(archive, 0, SEEK_END) != 0) return index.Refuse(IndexResult::Unreadable, "cannot be read");
  const long length = std::ftell(archive);
  if (length < 0 || std::fseek(archive, 0, SEEK_SET) != 0) {
    return index.Refuse(IndexResult::Unreadable, "its length cannot be told");
  }
  if (length > LIBRARY_MAX_SIZE) return index.Refuse(IndexResult::Invalid, "longer than the format allows");

  LibraryHeader header;
  if (!ReadExactly(archive, &header, sizeof header)) {
    return index.Refuse(IndexResult::Unreadable, "ends within the header");
  }
  bool checked = false;
  if (const char* problem = CheckLibraryHeader(header, checked)) return index.Refuse(IndexResult::Invalid, problem);
  const bool readData = checked && dataCrcs == DataCrcs::Check;

  HeapBlock<unsigned char[]> buffer;
  if (readData) {
    buffer.reset(static_cast<unsigned char*>(std::malloc(CHECK_CHUNK)));
    if (!buffer) return index.Refuse(IndexResult::NoMemory, "no memory for the check buffer");
  }
  const std::size_t directoryLength = std::strlen(directory);
  std::int64_t position = LIBRARY_HEADER_SIZE;
  for (;;) {
    LibraryEntryHeader entry;
    const std::size_t got = std::fread(&entry, 1, sizeof entry, archive);
    if (got < sizeof entry) {
      if (std::ferror(archive)) return index.Refuse(IndexResult::Unreadable, "a read failed");
      break;  // the list ends where the file does; a short remainder is ignored
    }
    position += static_cast<std::int64_t>(sizeof entry);
    if (const char* problem = CheckEntryHeader(entry, checked, directoryLength)) {
      return index.Refuse(IndexResult::Invalid, problem);
    }
    const std::int32_t size = EntrySize(entry);
    if (position + size > length) return index.Refuse(IndexResult::Invalid, "an entry's data runs past the end");
    if (readData) {
      std::uint32_t crc = 0;
      if (!ReadDataCrc(archive, size, buffer.get(), crc)) return index.Refuse(IndexResult::Unreadable, "a read failed");
      if (crc != StoredDataCrc(entry)) return index.Refuse(IndexResult::Invalid, "an entry's data is damaged");
    } else if (size > 0 && std::fseek(archive, static_cast<long>(size), SEEK_CUR) != 0) {
      return index.Refuse(IndexResult::Unreadable, "a seek failed");
    }
    const IndexedEntry indexed = {static_cast<std::uint32_t>(position), size, 0, 0};
    if (!index.Append(indexed, entry.name, std::strlen(entry.name))) {
      return index.Refuse(IndexResult::NoMemory, "no memory for the index");
    }
    position += size;
  }
  if (!index.FindSources()) return index.Refuse(IndexResult::NoMemory, "no memory for the index");
  index.checked_ = checked;
  return IndexResult::Ok;
}
