// One line of the shortcut list turned into a line of the group converter's
// input: item lines get absolute paths below the installation directory,
// every other line stays as it is.
#pragma once
#include <cstddef>

#include "base/Paths.h"

constexpr std::size_t SHORTCUT_LINE_SIZE = 1024;  // a converted line, its newline and terminator included

// The platform's short form of an existing path: fills shortPath (size bytes)
// with a terminated string and returns true, or returns false when there is
// none that fits.
using ShortPathLookup = bool (*)(const char* path, char* shortPath, std::size_t size);

enum class LineConversion {
  Copied,             // not an item line: the line is written as it was read
  Converted,          // an item line, converted into a new buffer
  SecondPathTooLong,  // installation directory and second field exceed PATH_BUFFER
  ThirdPathTooLong,   // installation directory and third field exceed PATH_BUFFER
  LineTooLong,        // the converted line exceeds SHORTCUT_LINE_SIZE
  OutOfMemory,        // no buffer for the converted line
};

// Converts one line as read from the list, with its newline if it had one.
// A line that starts with "(" is an item line: its three fields become
//   "first","short form of second path","second path",,,"third path"
// and a newline, where each path is installDir followed directly by the
// field. A missing field stands as empty text; when the lookup (which may be
// null) gives no short form, the second path stands in its place. Only for
// Converted does *converted receive a new heap buffer, which the caller
// releases with free(); otherwise it is set to null. A line that does not fit
// is never cut short: it is reported and nothing is made of it.
LineConversion ConvertShortcutLine(const char* line, const char* installDir, ShortPathLookup lookup, char** converted);
