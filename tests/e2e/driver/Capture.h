// Pictures of the setup program's windows, as they stand on the screen.
#pragma once
#include <windows.h>

#include <string>

// Saves what the screen shows inside the window's outer rectangle, caption
// included, as a 24-bit BMP file.
void SaveWindowPicture(HWND window, const std::string& path);
