// The program's dealings with the screen as a whole.
#pragma once
#include <windows.h>

// Moves the window, its size unchanged, to the middle of the primary screen.
void CenterOnScreen(HWND window);

// Erases and repaints the desktop and every window on it.
void RedrawDesktop();
