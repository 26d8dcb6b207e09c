#include "wizard/Pages.h"

#include "base/WizardState.h"
#include "resource.h"
#include "wizard/Navigation.h"
#include "wizard/Screen.h"

namespace {

// Puts the page's document or the default directory into place and centres
// the page. Returning TRUE lets the dialog manager focus the first tab stop.
INT_PTR OnInitDialog(HWND page) {
  HWND pane = GetDlgItem(page, IDC_TEXTPANE);
  if (pane && PageText) SetWindowTextA(pane, PageText);
  HWND field = GetDlgItem(page, IDC_INSTALLDIR);
  if (field && DirectoryFieldInit[0] != '\0') SetWindowTextA(field, DirectoryFieldInit);
  CenterOnScreen(page);
  return TRUE;
}

// The button's identifier, not its label, decides the result. IDOK and
// IDCANCEL (Enter without a default button, Escape) are left alone.
INT_PTR OnCommand(HWND page, int id) {
  switch (id) {
    case IDC_BACK: EndDialog(page, PAGE_BACK); return TRUE;
    case IDC_NEXT:
      if (GetDlgItem(page, IDC_INSTALLDIR))
        GetDlgItemTextA(page, IDC_INSTALLDIR, DirectoryFieldEntry, DIRECTORY_FIELD_LIMIT);
      EndDialog(page, PAGE_NEXT);
      return TRUE;
    case IDC_ABORT: EndDialog(page, PAGE_ABORT); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK PageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam));
    case WM_CLOSE: EndDialog(page, PAGE_ABORT); return FALSE;  // the close box, on every page
    default: return FALSE;
  }
}
