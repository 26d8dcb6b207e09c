#include "wizard/Sequencer.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "base/Entry.h"
#include "base/Format.h"
#include "base/WizardState.h"
#include "integration/Environment.h"
#include "integration/Shortcuts.h"
#include "resource.h"
#include "wizard/InstallStep.h"
#include "wizard/Navigation.h"
#include "wizard/Pages.h"
#include "wizard/TextFile.h"

namespace {

const char COMPLETED_TEXT[] =
    "Installation completed!\n\nYou should restart your computer prior to using the Quenvar (tm) 98 for the first "
    "time.";
const char ABORTED_TEXT[] = "Installation process aborted.";

// Runs one page dialog and returns its PageResult. A dialog that the platform
// cannot show at all (-1) would leave the cursor where it is and be tried
// again for ever; it counts as the page's close box instead, so the run ends
// the way closing that page would end it.
int32_t ShowPage(int templateId) {
  const INT_PTR result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(templateId), nullptr, PageDialogProc, 0);
  if (result != PAGE_NEXT && result != PAGE_BACK && result != PAGE_ABORT) return PAGE_ABORT;
  return static_cast<int32_t>(result);
}

// Pages 2 and 3: the document is read anew on every visit and released as
// soon as the page is gone.
void ShowDocumentPage(int templateId, const char* fileName) {
  PageText = LoadTextFile(fileName);
  LastPageResult = ShowPage(templateId);
  std::free(PageText);
  PageText = nullptr;
}

// Page 4: the field opens with the default directory every time; whatever
// Next handed back becomes the installation directory (empty otherwise).
void ShowDirectoryPage() {
  FormatText(DirectoryFieldInit, sizeof DirectoryFieldInit, "%s", DEFAULT_INSTALL_DIR);
  PageText = nullptr;
  LastPageResult = ShowPage(IDD_DIRECTORY);
  std::memcpy(InstallDir, DirectoryFieldEntry, sizeof InstallDir);
  std::memset(DirectoryFieldEntry, 0, sizeof DirectoryFieldEntry);
}

// Page 7: Yes extends the boot batch file; the shortcuts come whatever the
// answer, and the run goes on to its end.
void ShowEnvironmentPage() {
  PageText = nullptr;
  if (ShowPage(IDD_ENVIRONMENT) == PAGE_NEXT) SetCompilerEnvironment();
  LastPageResult = PAGE_NEXT;
  CreateShortcuts();
}

void ShowPlainPage(int templateId) {
  PageText = nullptr;
  LastPageResult = ShowPage(templateId);
}

}  // namespace

void RunWizard() {
  for (;;) {
    switch (Cursor.current) {
      case 1: ShowPlainPage(IDD_WELCOME); break;
      case 2: ShowDocumentPage(IDD_LICENSE, "LICENSE.TXT"); break;
      case 3: ShowDocumentPage(IDD_README, "README.TXT"); break;
      case 4: ShowDirectoryPage(); break;
      case 5: ShowPlainPage(IDD_READY); break;
      case PAGE_INSTALL: RunInstallStep(); break;  // keeps the Next that led here
      case 7: ShowEnvironmentPage(); break;
      case PAGE_FINISHED: MessageBoxA(nullptr, COMPLETED_TEXT, "Notice", MB_OK); return;
      case PAGE_ABORTED: MessageBoxA(nullptr, ABORTED_TEXT, "Notice", MB_OK | MB_ICONWARNING); return;
      default: return;  // cannot occur: the rule yields pages and terminal values only
    }
    AdvancePage();
  }
}
