#include "wizard/InstallStep.h"

#include <windows.h>

#include "base/Entry.h"
#include "base/Fatal.h"
#include "base/ProgressProtocol.h"
#include "base/WizardState.h"
#include "payload/ExpandPayload.h"
#include "payload/ExtractLibrary.h"
#include "resource.h"
#include "wizard/Progress.h"

void RunInstallStep() {
  // One level only; a directory that exists, or cannot be made, is found out
  // by the phases that use it.
  CreateDirectoryA(InstallDir, nullptr);

  HWND window = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialogProc, 0);
  if (!window) ReportFatal(FATAL_MODELESS_DIALOG);
  ShowWindow(window, ShowCommand);
  PumpMessages(window);  // painted before the work begins

  ExpandPayload(window);
  ExtractLibrary(window);
  DeleteLibraryArchive();

  // The window is only hidden, never destroyed: it stays until the process ends.
  SendMessageA(window, WM_CLOSE, 0, 0);
  PumpMessages(window);
}
