// First installation phase: the compressed payload becomes the library archive.
#pragma once
#include <windows.h>

#include "payload/LibraryIndex.h"

// Expands "DATA.CMP" into "DATA.VNX" in the installation directory, stepping
// the progress window's bar once per chunk.
void ExpandPayload(HWND progressWindow);

// The verdict of the archive's checks that the expansion made on the bytes it
// wrote. False, the verdict meaning nothing, when those bytes are not the
// archive on disk: no expansion has run, or the archive could not be created.
bool ExpandedArchiveVerdict(IndexResult& verdict);
