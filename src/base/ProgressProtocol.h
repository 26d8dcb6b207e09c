// The progress protocol: how the installation phases drive the progress
// window's bar, and service the window between units of work.
#pragma once
#include <windows.h>

// Services whatever is waiting for the window and its controls; never waits.
void PumpMessages(HWND window);

// Starts a phase: the bar runs from 0 to the low 16 bits of units, one step a
// unit, from empty; then the window is serviced.
void ProgressBegin(HWND window, int units);

// Lets the bar paint again if its painting is being held back between steps,
// and has it drawn whole. Before anything else is shown over the window.
void ReleaseBarPainting();

// One unit of work is done: the bar steps once and the window is serviced.
// The bar shows the step at once when it is the phase's last, and otherwise
// when it has not been painted for a while.
void ProgressStep(HWND window, bool last);
