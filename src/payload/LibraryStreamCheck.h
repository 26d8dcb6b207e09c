// The archive's checks made on its bytes as they are produced, in pieces of
// any size: the installer runs them while it expands the payload into the
// archive, so that the archive's data need not be read back to be checked.
// They are the format's readings of the headers and the installer's rules,
// the very functions that IndexLibrary applies to what its walk gives, in its
// order, and give its verdict and problem on every archive that fits the
// format (at most LIBRARY_MAX_SIZE bytes; a longer one is refused by both,
// perhaps for different reasons).
//
// The state is plain data with no constructor: the installer keeps one in
// process-wide storage.
#pragma once
#include <cstddef>
#include <cstdint>

#include "payload/EntryName.h"
#include "payload/LibraryFormat.h"
#include "payload/LibraryIndex.h"
#include "payload/LibraryWalk.h"

// What the next byte of the archive belongs to.
enum class LibraryStreamPart { Header, EntryHeader, Data, Refused };

struct LibraryStreamCheck {
  NameTarget target;  // where the entries are extracted to
  LibraryStreamPart part;
  std::size_t gathered;  // bytes of the header being gathered
  LibraryHeader header;
  LibraryEntryHeader entry;  // the current entry's, its name restored once it passed
  bool checked;              // the archive carries the kit builder's CRCs
  std::int32_t dataLeft;     // bytes of the current entry's data still to come
  std::uint32_t dataCrc;     // CRC of the current entry's data so far, restored
  std::int64_t length;       // bytes taken so far
  const char* problem;       // why the archive was refused; null while it was not
};

// Starts the checks of an archive whose entries go to the target.
void LibraryStreamBegin(LibraryStreamCheck& check, const NameTarget& target);

// Takes the next bytes of the archive. Once the archive is refused, the rest
// is not looked at.
void LibraryStreamFeed(LibraryStreamCheck& check, const unsigned char* bytes, std::size_t count);

// The verdict on the archive whose bytes have all been taken: Ok, Invalid,
// or Unreadable when it ended within its header; never NoMemory. Anything
// but Ok leaves the reason in check.problem.
IndexResult LibraryStreamEnd(LibraryStreamCheck& check);
