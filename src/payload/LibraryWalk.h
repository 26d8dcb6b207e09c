// The one walk over a library archive, front to back: the header, then each
// entry in turn, its data passed over or read restored. Every pass over an
// archive goes through it: the reader's search by name, the installer's
// count pass, and the kit builder's list, verify and extract. The walk holds
// the format's own rules; what a caller adds on top (the installer's, the
// kit builder's) it checks on the entries the walk gives, and it words every
// outcome itself from what the walk reports: what went wrong, at which entry
// and where.
//
// Plain data and free functions, so that SETUP.EXE can hold a walk on its
// stack without start-up code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "payload/LibraryFormat.h"

// Where the archive's bytes come from: a stream, read from its start, or
// bytes in memory.
struct ArchiveInput {
  // Reads up to count bytes at the position; fewer only at the end or on an
  // error. Set by the two functions below to the reading of the one or the
  // other, so that a program that walks only streams links no other.
  std::size_t (*read)(ArchiveInput& input, void* into, std::size_t count);
  std::FILE* file;             // the stream, or null for bytes in memory
  const unsigned char* bytes;  // the bytes in memory
  // The archive's length. ARCHIVE_LENGTH_UNKNOWN for a stream not measured:
  // then only a read that comes up short finds the end.
  std::int64_t length;
  std::int64_t position;  // of the next byte to be read
  bool failed;            // a read or a seek failed, as against the archive ending
};

constexpr std::int64_t ARCHIVE_LENGTH_UNKNOWN = INT64_MAX;

ArchiveInput ArchiveInMemory(const void* bytes, std::size_t length);

// The stream must stand at its start.
ArchiveInput ArchiveInStream(std::FILE* file, std::int64_t length);

// The length of a stream, which is then left at its start; -1 when it cannot
// be told.
std::int64_t StreamLength(std::FILE* file);

// What stopped a walk.
enum class LibraryFault {
  None,
  ReadFailed,        // the input could not be read or moved in: no fault of the archive
  HeaderShort,       // the input ends within the 23-byte header
  NoAccessName,      // the header does not carry the access name
  NameUnterminated,  // an entry's name field holds no zero byte
  SizeNegative,      // an entry's size is negative
  BeyondLimit,       // an entry's data would begin past the format's 2147483647 bytes
  DataPastEnd,       // an entry's data runs past the end of the archive
};

// An entry as the walk gives it.
struct WalkedEntry {
  LibraryEntryHeader header;  // as read; its name restored once the header passed
  int index;                  // from 0, in archive order
  std::int64_t headerOffset;  // where the entry header begins
  std::int64_t dataOffset;    // where its data begins
  std::int32_t size;          // as the header says, negative ones included
  // In an archive that carries the kit builder's checks: whether the entry
  // header agrees with its CRC. Always true in one that does not.
  bool headerIntact;
};

enum class WalkStep {
  Entry,    // the next entry
  End,      // the input ended where an entry header would start, or within one
  Refused,  // the walk cannot go on; the walk's fault says why
};

struct LibraryWalk {
  ArchiveInput* input;
  LibraryMarking marking;  // what the header's check marker says
  int entries;             // entries given so far
  std::int64_t dataEnd;    // where the current entry's data ends and the next header begins
  std::uint32_t dataCrc;   // of the current entry's data read so far, restored; checked archives only
  std::size_t trailing;    // at the end: bytes after the last entry, too few for an entry header
  bool ended;
  LibraryFault fault;        // None while the walk can go on
  int faultEntry;            // the entry the fault concerns, or -1 for the archive's header
  std::int64_t faultOffset;  // where: the header that failed, or where the input ended
  std::int64_t missing;      // for DataPastEnd: the bytes of the entry's data that the archive lacks
};

// Starts a walk over the input by reading the header, and checks that it
// carries the access name unless accessName is null. Gives the fault that
// stops it before the first entry, or None; the marking is set either way
// once the header was read whole.
LibraryFault LibraryWalkBegin(LibraryWalk& walk, ArchiveInput& input, const char* accessName);

// Passes over whatever is left of the current entry's data and reads the next
// entry header. Refused, with the fault, when that data runs past the end, a
// read fails, or the header is invalid (the entry is then filled as far as
// it was read: its index, offsets, size, and headerIntact). An entry whose
// data runs past the end is still given; the fault comes when its data is
// passed.
WalkStep LibraryWalkNext(LibraryWalk& walk, WalkedEntry& entry);

// Reads the next piece of the current entry's data into the buffer, restored,
// at most capacity bytes. 0 when the data has all been read, or when the walk
// stops: a read comes up short because the data runs past the end of the
// archive, or a read fails.
std::size_t LibraryWalkRead(LibraryWalk& walk, unsigned char* buffer, std::size_t capacity);

// Once the entry's data has all been read: true unless the archive carries
// the kit builder's checks and the data disagrees with the CRC in its header.
inline bool LibraryWalkDataIntact(const LibraryWalk& walk, const WalkedEntry& entry) {
  return walk.marking != LibraryMarking::Checked || walk.dataCrc == StoredDataCrc(entry.header);
}

// The format's reading of a header that a walk, or a check fed the bytes,
// has gathered whole. Sets the marking (before the access name is restored
// in place: the CRC is over the bytes as stored), then checks the access
// name unless it is null.
LibraryFault OpenLibraryHeader(LibraryHeader& header, const char* accessName, LibraryMarking& marking);

// The same for an entry header: sets intact (in a checked archive, whether
// the header agrees with its CRC), then refuses an unterminated name field or
// a negative size, changing nothing; else restores the name in place.
LibraryFault OpenEntryHeader(LibraryEntryHeader& header, bool checked, bool& intact);
