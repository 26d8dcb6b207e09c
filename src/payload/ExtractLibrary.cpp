#include "payload/ExtractLibrary.h"

// Not written yet: so far the install step extracts nothing and has no
// archive to delete.
void ExtractLibrary(HWND) {}

int DeleteLibraryArchive() { return -1; }
