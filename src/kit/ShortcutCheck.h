// The kit's shortcut list checked at build time by the installer's own
// rules, so that a kit author learns of a wrong shortcut before a user does.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/Paths.h"

class CodePage;

struct ShortcutListCheck {
  std::size_t itemLines = 0;
  std::vector<std::string> problems;  // the installer would make a wrong shortcut, or none
  std::vector<std::string> notes;     // worth knowing, but right below the offered directory
};

// Checks the bytes of "SHELLINK.DAT" as the installer reads them (as text,
// in pieces of at most 499 characters) against the archive's entry names,
// both in the code page, whose characters decide which paths are equal
// without case:
// every item line has its three fields, its second field begins with a
// backslash and names a file or directory that the archive installs, and its
// converted line fits the installer's buffers below DEFAULT_INSTALL_DIR.
// Each problem and note names the line and the field. True when there is no
// problem.
bool CheckShortcutList(const std::vector<std::uint8_t>& list, const std::vector<std::string>& entryNames,
                       const CodePage& codePage, ShortcutListCheck& check);
