// Where the installer puts what it installs: the library archive, "DATA.VNX"
// in the installation directory (written by the expansion, read by the
// extraction, deleted after it), and the entries, below that directory, their
// names read in the machine's ANSI code page.
#pragma once
#include "base/Paths.h"
#include "payload/EntryName.h"

// Joins the installation directory and the archive's name with a backslash.
// False when the path does not fit, that is when the directory has more than
// 250 characters: a path cut short would name another file.
bool FormLibraryPath(char (&path)[PATH_BUFFER]);

// What the entry-name rule judges the archive's names against here.
NameTarget InstallNameTarget();
