// Program entry: records what the start handed over, runs the wizard and
// repaints the desktop. The exit code is 0 however the run ended.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

#include "base/Entry.h"
#include "base/SystemLibrary.h"
#include "wizard/Screen.h"
#include "wizard/Sequencer.h"

HINSTANCE AppInstance;
int ShowCommand;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  AppInstance = instance;
  ShowCommand = showCommand;
  // Registers the progress bar class of the install step; the DLL stays
  // loaded, and so the class registered, for the whole run.
  FunctionAs<decltype(&InitCommonControls)>(SystemFunction("COMCTL32.DLL", "InitCommonControls"))();
  RunWizard();
  RedrawDesktop();
  return 0;
}

// Where the system starts the program. The compiler runtime's start-up code
// is built for newer processors than the program runs on, and brings much
// that the program never uses; the system's C library (msvcrt.dll) sets
// itself up when it is loaded, so this is all that the start needs: the
// instance and the show state the program was started with, and the
// runtime's normal exit with WinMain's result, which flushes open streams.
// The command line is not read, so none is handed on. Before all of it, the
// search for DLLs is kept to the system directory: nothing has loaded a DLL
// on the program's behalf yet but the system's loader, for its static
// imports, which every Windows protects.
extern "C" void SetupEntry() {
  RestrictLibrarySearch();
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  char noArguments[] = "";
  std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, noArguments, showCommand));
}
