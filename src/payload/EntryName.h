// Which entry names can be written out below the installation directory. One
// rule for every place that judges an entry name: the installer's checks
// before it writes anything, the kit builder's pack, medium and verify, and
// the writers that turn a name into a file.
#pragma once
#include <cstddef>

// What the rule refuses a name for.
enum class NameFault {
  None,
  EmptyComponent,     // an empty name, two separators together, one at the end, two at the start
  DotOrSpaceEnding,   // a component ending in '.' or ' ', "." and ".." among them
  BrokenCharacter,    // a lead byte of the code page without a byte that may follow it
  ControlCharacter,   // codes 1 to 31, and 127
  ReservedCharacter,  // one of : < > " | ? *
  DeviceName,         // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COMn, LPTn
  ArchiveName,        // the first component is the archive's own name
  PathTooLong,        // the file's path would be over PATH_LIMIT
  DirectoryTooLong,   // a directory's path would be over DIRECTORY_PATH_LIMIT
};

// Where the names are written: below a directory of this many characters, on
// a machine whose ANSI code page (the one the names' bytes are read in) is
// codePage.
struct NameTarget {
  std::size_t directoryLength;
  unsigned codePage;
};

// Judges the zero-terminated name, read as characters of the code page
// (NameCharacters.h). Components are what lies between separators; one leading
// separator is harmless, as the name is joined to the directory after a
// separator anyway. Refused: an empty name or component (so UNC and device
// namespaces); a component ending in a dot or a space, which Windows drops
// ("." and ".." among them); a character cut short, which the platform would
// read as another or as none; a control character; one of : < > " | ? *, which
// no Windows file name holds (so no drive and no stream); a component whose
// stem (up to its first dot, trailing spaces dropped, case ignored) is a
// device: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9, and COM
// and LPT with a superscript 1, 2 or 3 where the code page has those
// characters; a first component that is the archive's own name in any case,
// which cannot be written while the archive lies there; a file's path, joined
// to the directory with a backslash, over PATH_LIMIT characters; and a
// directory of the name whose path is over DIRECTORY_PATH_LIMIT. Lengths are
// counted in bytes, as the installer's buffers hold them. In the double-byte
// code pages the second byte of a character is neither a separator nor a '|'.
NameFault CheckEntryName(const char* name, const NameTarget& target);

// The longest directory, in characters, below which the name's file and
// directories still fit the platform's paths; -1 when they fit below none,
// not even an empty one. The name is read in the code page.
long LongestDirectoryFor(const char* name, unsigned codePage);

// The rule that the fault breaks, in words that follow a name in messages.
const char* NameFaultText(NameFault fault);
