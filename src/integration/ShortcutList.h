// The shortcut list copied into the group converter's input, line by line,
// with every item line converted.
#pragma once
#include <cstddef>
#include <cstdio>

#include "integration/ShortcutLine.h"

// One read of the list takes at most this many characters less one: a line
// longer than that is read, and converted or copied, in pieces.
constexpr std::size_t LIST_READ_LIMIT = 500;

// Reads the next piece of the list into piece: its characters up to and
// including the next newline, at most LIST_READ_LIMIT - 1 of them, and a
// terminator. Returns the number of characters read (a NUL among them
// counts); 0 at the end of the list or on a read error.
std::size_t ReadListPiece(std::FILE* list, char (&piece)[LIST_READ_LIMIT]);

// The length of the piece that ReadListPiece would read from text held in
// memory: the same split, for callers that have the list's bytes already.
std::size_t ListPieceLength(const char* text, std::size_t length);

enum class ListCopy {
  Done,         // every piece written
  ReadFailed,   // the list could not be read to its end
  WriteFailed,  // a write to the output failed
  OutOfMemory,  // no buffer for a converted line
};

// Copies every piece of the list to out: an item line converted with
// ConvertShortcutLine, any other piece written exactly as read, NULs
// included. An item line whose converted form does not fit is left out, so
// that no path reaches the converter cut short; linesLeftOut counts them.
// Stops at the first failure.
ListCopy CopyShortcutList(std::FILE* list, std::FILE* out, const char* installDir, ShortPathLookup lookup,
                          std::size_t& linesLeftOut);
