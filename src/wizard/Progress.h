// The install step's modeless progress window.
#pragma once
#include <windows.h>

// Dialog procedure of the progress window: centres it and hides it on close.
INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
