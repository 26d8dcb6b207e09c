// First installation phase: the compressed payload becomes the library archive.
#pragma once
#include <windows.h>

// Expands "DATA.CMP" into "DATA.VNX" in the installation directory, stepping
// the progress window's bar once per chunk.
void ExpandPayload(HWND progressWindow);
