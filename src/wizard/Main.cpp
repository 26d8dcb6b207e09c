// Program entry: records what the start handed over, runs the wizard and
// repaints the desktop. The exit code is 0 however the run ended.
#include <windows.h>

#include <commctrl.h>

#include "wizard/Entry.h"
#include "wizard/Screen.h"
#include "wizard/Sequencer.h"

HINSTANCE AppInstance;
int ShowCommand;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  AppInstance = instance;
  ShowCommand = showCommand;
  InitCommonControls();  // registers the progress bar class of the install step
  RunWizard();
  RedrawDesktop();
  return 0;
}
