// The library archive reader: one open archive at a time, as module state.
// Every operation opens the archive by its remembered path, works and closes
// it again before it returns. Results are 1 for success and 0 for failure;
// the reader shows no messages, its callers decide what to report.
#pragma once
#include <cstdint>

#include "payload/LibraryFormat.h"

// The open archive: references to the caller's strings, which the caller keeps
// alive until LibraryClose. No library is open while path is null.
struct LibraryReference {
  const char* path;
  const char* accessName;
};

extern LibraryReference CurrentLibrary;

// True if the file can be opened for binary reading; it is closed again at once.
bool FileExists(const char* path);

// Remembers the path and the access name (replacing any earlier ones) and
// returns LibraryVerify(). 0, with CurrentLibrary left as it was, when the file
// does not exist. A failed verification leaves the new values remembered.
int LibraryOpen(const char* path, const char* accessName);

// Forgets the path and the access name. Closing a closed library does nothing.
void LibraryClose();

bool LibraryIsOpen();

// 1 if the open archive's header carries the remembered access name; 0 if it
// does not, if the header is shorter than 23 bytes, if no library is open or
// if the archive cannot be opened.
int LibraryVerify();

// Finds the first entry whose restored name equals the name, byte for byte.
// 1 with the absolute offset of its data and its size; 0 when there is none,
// no library is open or the archive cannot be read. The walk ends at an
// invalid entry (unterminated name field, negative size) or where the offsets
// would leave the 32-bit range.
int LibraryFind(const char* name, std::int32_t* offset, std::int32_t* size);

// Writes the restored data of the named entry to the file that joins the
// directory and the name with a backslash, creating or truncating it; creates
// no directories. 1 only when every byte was read, written and the output
// closed. 0 when the archive does not verify, the entry is missing or its data
// runs past the end of the archive, the joined path does not fit in 260 bytes,
// a file cannot be opened, or a read, write or close fails or comes up short;
// an output file that was created is then removed again.
int LibraryExtract(const char* directory, const char* name);
