#include "wizard/Navigation.h"

WizardCursor Cursor = {PAGE_FIRST, PAGE_LAST};
int32_t LastPageResult = 0;

// Next moves forward, Back moves back, Abort ends the run; any other value
// leaves the page where it is. Back on the first page stays there, and
// anything past the last page is the end of the run.
void AdvancePage() {
  switch (LastPageResult) {
    case PAGE_NEXT: Cursor.current = Cursor.current + 1; break;
    case PAGE_BACK: Cursor.current = Cursor.current - 1; break;
    case PAGE_ABORT: Cursor.current = PAGE_ABORTED; break;
    default: break;
  }
  if (Cursor.current == 0) Cursor.current = PAGE_FIRST;
  if (Cursor.current > Cursor.last) Cursor.current = PAGE_FINISHED;
}
