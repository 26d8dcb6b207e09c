// Second installation phase: every entry of the library archive becomes a file.
#pragma once
#include <windows.h>

// Writes every entry of the archive below the installation directory,
// stepping the progress window's bar once per entry.
void ExtractLibrary(HWND progressWindow);

// Deletes the library archive; 0 when it was deleted, -1 otherwise.
int DeleteLibraryArchive();
