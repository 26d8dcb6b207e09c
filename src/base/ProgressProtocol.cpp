#include "base/ProgressProtocol.h"

#include <commctrl.h>

#include "resource.h"

namespace {

// Every progress message goes to the bar found anew by its identifier.
void SendToBar(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SendMessageA(GetDlgItem(window, IDC_PROGRESS), message, wParam, lParam);
}

// The bar paints itself at once on every step. Where a paint costs more than
// a unit of work (under Wine it costs a millisecond or more, and a phase may
// have thousands of units) it would set the pace of the installation. So
// between paints the bar's redrawing is held back and the steps only move
// it: it is shown at most this often, and always at the start and the end
// of a phase.
constexpr DWORD BAR_PAINT_INTERVAL_MS = 50;
DWORD LastBarPaint;  // when the bar last showed a step
HWND HeldBar;        // the bar while its redrawing is held back, else null

void HoldBarPainting(HWND window) {
  if (HeldBar != nullptr) return;
  HeldBar = GetDlgItem(window, IDC_PROGRESS);
  SendMessageA(HeldBar, WM_SETREDRAW, FALSE, 0);
}

}  // namespace

// The filter keeps the pump to the progress window: messages for the thread
// or for other windows wait in the queue.
void PumpMessages(HWND window) {
  MSG message;
  while (PeekMessageA(&message, window, 0, 0, PM_NOREMOVE)) {
    GetMessageA(&message, window, 0, 0);
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void ReleaseBarPainting() {
  if (HeldBar == nullptr) return;
  // What the held steps moved is drawn with the next paint, the whole bar.
  SendMessageA(HeldBar, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(HeldBar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  HeldBar = nullptr;
}

void ProgressBegin(HWND window, int units) {
  ReleaseBarPainting();
  SendToBar(window, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(units)));
  SendToBar(window, PBM_SETSTEP, 1, 0);
  SendToBar(window, PBM_SETPOS, 0, 0);
  LastBarPaint = GetTickCount();
  PumpMessages(window);
}

void ProgressStep(HWND window, bool last) {
  const DWORD now = GetTickCount();
  if (last || now - LastBarPaint >= BAR_PAINT_INTERVAL_MS) {
    ReleaseBarPainting();
    LastBarPaint = now;
  } else {
    HoldBarPainting(window);
  }
  SendToBar(window, PBM_STEPIT, 0, 0);
  PumpMessages(window);
}
