// The one dialog procedure of the six wizard pages.
#pragma once
#include <windows.h>

// Fills the page's text pane or directory field, centres it, and ends it
// with the PageResult fixed by the identifier of the button pressed.
INT_PTR CALLBACK PageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
