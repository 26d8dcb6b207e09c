#include "wizard/Screen.h"

#include "wizard/Centering.h"

void CenterOnScreen(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  const ScreenPoint origin =
      CenteredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width, height);
  MoveWindow(window, origin.x, origin.y, width, height, TRUE);
}

void RedrawDesktop() { RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN); }
