// Process-wide state that the pages, the install step and the integration
// share for the whole run. Portable: plain character buffers.
#pragma once
#include "base/Paths.h"

// The directory field of page 4 hands back at most this many characters,
// its terminating NUL included: one less than the buffer.
constexpr int DIRECTORY_FIELD_LIMIT = static_cast<int>(PATH_LIMIT);

extern char InstallDir[PATH_BUFFER];  // directory the kit goes into; empty until page 4 is left with Next
extern char* PageText;                // text shown by the current page, owned by the sequencer; null for most pages
extern char DirectoryFieldInit[PATH_BUFFER];   // what the directory field opens with
extern char DirectoryFieldEntry[PATH_BUFFER];  // what the directory field held when Next was pressed
