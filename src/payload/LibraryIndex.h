// The installer's pass over the whole library archive before it writes
// anything: it checks every rule the extraction relies on and builds an index
// of the entries with their names, data and, for each, the entry whose data
// its file receives. With the index the extraction reads the archive once,
// front to back, instead of looking every entry up by name from the start of
// the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "payload/EntryName.h"
#include "payload/LibraryFormat.h"
#include "payload/LibraryWalk.h"

enum class IndexResult {
  Ok,
  Unreadable,  // the stream cannot be read, or it ends within the header
  Invalid,     // the archive breaks a rule; nothing may be extracted from it
  NoMemory,    // the index could not be held
};

// Whether a pass reads the entries' data to check it against its CRCs, or
// seeks over it because the data was checked already, as the archive was
// expanded.
enum class DataCrcs { Check, Skip };

struct IndexedEntry {
  std::uint32_t dataOffset;  // where the entry's data begins, from the start of the archive
  std::int32_t size;
  // The first entry with the same name, whose data this entry's file
  // receives: the entry itself unless an earlier one has its name.
  std::uint32_t source;
  std::uint32_t nameOffset;  // of the restored name in the index's name pool
};

class LibraryIndex {
 public:
  LibraryIndex() = default;
  ~LibraryIndex();
  LibraryIndex(const LibraryIndex&) = delete;
  LibraryIndex& operator=(const LibraryIndex&) = delete;

  std::size_t Count() const { return count_; }
  const IndexedEntry& operator[](std::size_t i) const { return entries_[i]; }
  const char* Name(std::size_t i) const { return names_ + entries_[i].nameOffset; }
  // Why the last pass did not give Ok; empty after Ok.
  const char* Problem() const { return problem_; }
  // Whether the archive carried the kit builder's checks, which then held:
  // those of its data too unless the pass skipped them.
  bool Checked() const { return checked_; }

  void Clear();

 private:
  friend IndexResult IndexLibrary(std::FILE* archive, const NameTarget& target, LibraryIndex& index, DataCrcs dataCrcs);
  bool Append(const IndexedEntry& entry, const char* name, std::size_t length);
  bool FindSources();
  IndexResult Refuse(IndexResult result, const char* problem);

  IndexedEntry* entries_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  char* names_ = nullptr;
  std::size_t namesUsed_ = 0;
  std::size_t namesCapacity_ = 0;
  const char* problem_ = "";
  bool checked_ = false;
};

// Walks the archive from its start and checks it whole: the access name;
// every entry header whole, its name field terminated, its size 0 or more and
// its data inside the file; every name accepted by the entry-name rule for
// the target (CheckEntryName). An archive that carries the kit
// builder's marker must also agree with every CRC: its headers' always, its
// data's when dataCrcs is Check; with Skip the pass reads the headers alone.
// Fewer than 524 bytes after the last entry are ignored, as the format says.
// On Ok the index holds every entry in archive order; otherwise it is empty
// and Problem() says why. The stream's position is left anywhere.
IndexResult IndexLibrary(std::FILE* archive, const NameTarget& target, LibraryIndex& index, DataCrcs dataCrcs);

// The installer's rules on top of the format's, shared by every pass that
// checks an archive, whether it walks the archive in a file or is fed its
// bytes as they are made. Each returns nullptr when the header passes, or why
// it does not.

// The archive's header, once the format's reading of it (OpenLibraryHeader,
// or LibraryWalkBegin) gave the fault and the marking: a damaged check marker
// refuses the archive before its access name is looked at.
const char* CheckHeaderForInstall(LibraryFault fault, LibraryMarking marking);

// An entry header, once the format's reading of it gave the fault (None, or
// whatever stopped the walk there) and intact, for extraction to the target.
// In a checked archive a damaged header
// is refused before any of its fields is looked at. Whether the entry's data
// lies inside the archive is the caller's to tell.
const char* CheckEntryForInstall(LibraryFault fault, const LibraryEntryHeader& entry, bool intact,
                                 const NameTarget& target);

// How a pass judges an archive on which the walk stopped: Unreadable when the
// input could not be read or ended within the header, else Invalid.
IndexResult FaultVerdict(LibraryFault fault);

// The problem for a fault, in the installer's words.
const char* FaultProblem(LibraryFault fault);
