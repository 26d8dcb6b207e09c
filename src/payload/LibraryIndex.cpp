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

IndexResult FaultVerdict(LibraryFault fault) {
  return fault == LibraryFault::ReadFailed || fault == LibraryFault::HeaderShort ? IndexResult::Unreadable
                                                                                 : IndexResult::Invalid;
}

const char* FaultProblem(LibraryFault fault) {
  switch (fault) {
    case LibraryFault::None: break;
    case LibraryFault::ReadFailed: return "a read failed";
    case LibraryFault::HeaderShort: return "ends within the header";
    case LibraryFault::NoAccessName: return "the header does not carry the access name";
    case LibraryFault::NameUnterminated: return "a name field has no end";
    case LibraryFault::SizeNegative: return "a size is negative";
    // The installer refuses an archive longer than the format allows before
    // it walks it, so data beyond the format's range is data past the end.
    case LibraryFault::BeyondLimit:
    case LibraryFault::DataPastEnd: return "an entry's data runs past the end";
  }
  return nullptr;
}

const char* CheckHeaderForInstall(LibraryFault fault, LibraryMarking marking) {
  if (fault == LibraryFault::ReadFailed || fault == LibraryFault::HeaderShort) return FaultProblem(fault);
  if (marking == LibraryMarking::Damaged) return "the check marker is damaged";
  return FaultProblem(fault);
}

const char* CheckEntryForInstall(LibraryFault fault, const LibraryEntryHeader& entry, bool intact,
                                 const NameTarget& target) {
  // These concern the input, or the data before this header, not the header.
  if (fault == LibraryFault::ReadFailed || fault == LibraryFault::DataPastEnd) return FaultProblem(fault);
  if (!intact) return "an entry header is damaged";
  if (fault != LibraryFault::None) return FaultProblem(fault);
  const NameFault name = CheckEntryName(entry.name, target);
  return name == NameFault::None ? nullptr : NameFaultText(name);
}

IndexResult IndexLibrary(std::FILE* archive, const NameTarget& target, LibraryIndex& index, DataCrcs dataCrcs) {
  index.Clear();
  const std::int64_t length = StreamLength(archive);
  if (length < 0) return index.Refuse(IndexResult::Unreadable, "its length cannot be told");
  if (length > LIBRARY_MAX_SIZE) return index.Refuse(IndexResult::Invalid, "longer than the format allows");

  ArchiveInput input = ArchiveInStream(archive, length);
  LibraryWalk walk;
  const LibraryFault fault = LibraryWalkBegin(walk, input, LIBRARY_ACCESS_NAME);
  if (const char* problem = CheckHeaderForInstall(fault, walk.marking)) {
    return index.Refuse(FaultVerdict(fault), problem);
  }
  const bool checked = walk.marking == LibraryMarking::Checked;
  const bool readData = checked && dataCrcs == DataCrcs::Check;

  HeapBlock<unsigned char[]> buffer;
  if (readData) {
    buffer.reset(static_cast<unsigned char*>(std::malloc(CHECK_CHUNK)));
    if (!buffer) return index.Refuse(IndexResult::NoMemory, "no memory for the check buffer");
  }
  WalkedEntry entry;
  for (;;) {
    const WalkStep step = LibraryWalkNext(walk, entry);
    if (step == WalkStep::End) break;
    const LibraryFault stop = step == WalkStep::Refused ? walk.fault : LibraryFault::None;
    if (const char* problem = CheckEntryForInstall(stop, entry.header, entry.headerIntact, target)) {
      return index.Refuse(FaultVerdict(stop), problem);
    }
    // Without the data's CRCs to check, the walk passes over the data by
    // seeking, and finds data past the end from the archive's length.
    if (readData) {
      while (LibraryWalkRead(walk, buffer.get(), CHECK_CHUNK) > 0) {
      }
      if (walk.fault != LibraryFault::None) return index.Refuse(FaultVerdict(walk.fault), FaultProblem(walk.fault));
      if (!LibraryWalkDataIntact(walk, entry)) return index.Refuse(IndexResult::Invalid, "an entry's data is damaged");
    }
    const IndexedEntry indexed = {static_cast<std::uint32_t>(entry.dataOffset), entry.size, 0, 0};
    if (!index.Append(indexed, entry.header.name, std::strlen(entry.header.name))) {
      return index.Refuse(IndexResult::NoMemory, "no memory for the index");
    }
  }
  if (!index.FindSources()) return index.Refuse(IndexResult::NoMemory, "no memory for the index");
  index.checked_ = checked;
  return IndexResult::Ok;
}
