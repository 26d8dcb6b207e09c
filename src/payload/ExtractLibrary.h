// Second installation phase: every entry of the library archive becomes a file.
#pragma once
#include <windows.h>

#include "payload/LibraryIndex.h"

// The count pass: checks the whole archive "DATA.VNX" in the installation
// directory and indexes its entries into index for the extraction. Where the
// expansion checked the archive's bytes as it wrote them, its verdict counts
// and only the headers are read again. Gives the count, or -1 when the
// archive cannot be read as a stream (a header cut short among the causes).
// Ends the process, before anything has been written, with "Cannot open
// uncompressed library." when the archive is missing, lacks the access name
// or breaks any rule the extraction relies on, and with "Out of memory" when
// the index cannot be held.
int LibraryCountEntries(LibraryIndex& index);

// Writes every entry of the archive below the installation directory, in
// archive order, stepping the progress window's bar once per entry. Ends the
// process with "Cannot extract file" when an entry cannot be written whole.
void ExtractLibrary(HWND progressWindow);

// Creates below the directory, outermost first, every directory that the
// leading components of the entry name make, read in the machine's ANSI code
// page; the results are not looked at.
void MakeEntryDirectories(const char* directory, const char* name);

// Deletes the library archive; 0 when it was deleted, -1 otherwise.
int DeleteLibraryArchive();
