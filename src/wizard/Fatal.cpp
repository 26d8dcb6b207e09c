#include "base/Fatal.h"

#include <windows.h>

#include <cstdlib>

#include "base/ProgressProtocol.h"
#include "wizard/Screen.h"

void ReportFatal(const char* message) {
  // The progress window may be on the screen with its bar's painting held
  // back between steps; the bar must show behind the box as it stands.
  ReleaseBarPainting();
  MessageBoxA(nullptr, message, "Fatal Error", MB_OK | MB_ICONERROR);
  RedrawDesktop();
  // The runtime's normal exit: handlers run and open streams are flushed.
  std::exit(0);
}
