#include "wizard/Progress.h"

#include "wizard/Navigation.h"
#include "wizard/Screen.h"

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: CenterOnScreen(window); return TRUE;
    case WM_CLOSE: EndDialog(window, PAGE_ABORT); return TRUE;  // nothing reads the result
    default: return FALSE;
  }
}
