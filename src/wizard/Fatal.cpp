#include "wizard/Fatal.h"

#include <windows.h>

#include <cstdlib>

#include "wizard/Screen.h"

void ReportFatal(const char* message) {
  MessageBoxA(nullptr, message, "Fatal Error", MB_OK | MB_ICONERROR);
  RedrawDesktop();
  // The runtime's normal exit: handlers run and open streams are flushed.
  std::exit(0);
}
