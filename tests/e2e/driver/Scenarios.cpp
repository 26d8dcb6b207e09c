#include "Scenarios.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Capture.h"
#include "Harness.h"
#include "Inject.h"
#include "ScenarioKit.h"
#include "Templates.h"

namespace {

// ---- the scenarios -------------------------------------------------------

void CompleteWithYes(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);

  HWND page = run.ExpectPage(101, "the start");
  CheckLivePage(page, 101);
  ExpectFocusOn(run, NEXT, "the welcome page");
  Picture(context, page, "1-welcome");
  run.Click(page, NEXT);

  page = run.ExpectPage(102, "Next on page 1");
  CheckLivePage(page, 102);
  ExpectPaneShows(page, LICENSE_TEXT, "LICENSE.TXT");
  // CR LF ends a line in the pane: four lines and the empty one after the last.
  const auto lines = Ask(GetDlgItem(page, PANE), EM_GETLINECOUNT, 0, 0, "EM_GETLINECOUNT");
  Expect(lines == 5, "the licence shows as %ld lines in the pane, not 5", static_cast<long>(lines));
  ExpectFocusOn(run, ABORT, "the licence page");
  Picture(context, page, "2-license");
  run.Click(page, NEXT);

  page = run.ExpectPage(103, "I Agree on page 2");
  CheckLivePage(page, 103);
  ExpectPaneShows(page, README_TEXT, "README.TXT");
  ExpectFocusOn(run, NEXT, "the information page");
  Picture(context, page, "3-readme");
  run.Click(page, NEXT);

  page = run.ExpectPage(104, "Next on page 3");
  CheckLivePage(page, 104);
  ExpectFieldShows(page, DEFAULT_DIR);
  ExpectFocusOn(run, NEXT, "the directory page");
  Picture(context, page, "4-directory");
  run.Type(page, FIELD, KitDir(context));
  run.Click(page, NEXT);

  page = run.ExpectPage(105, "Next on page 4");
  CheckLivePage(page, 105);
  ExpectFocusOn(run, NEXT, "the ready page");
  Picture(context, page, "5-ready");

  page = ThroughInstallStep(run, page, context, false);
  CheckLivePage(page, 107);
  ExpectFocusOn(run, NEXT, "the environment page");
  Picture(context, page, "7-environment");
  ExpectInstalledTree(KitDir(context), SmallKit(), "after the install step");
  run.Click(page, NEXT);

  ExpectCompletionNotice(run, sentinel, "Yes on page 7", &context);
}

void CompleteWithNo(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
  ExpectInstalledTree(KitDir(context), SmallKit(), "after the run");
}

void CloseBoxOnPage7(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  page = ThroughInstallStep(run, page, context, false);
  run.CloseBox(page);
  ExpectCompletionNotice(run, sentinel, "the close box on page 7");
}

void CompleteWithTheDefaultDirectory(Context& context) {
  WriteMedium(context.workDir);
  RemoveTree(DEFAULT_DIR);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, "");
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, NEXT);
  ExpectCompletionNotice(run, sentinel, "Yes on page 7");
  ExpectInstalledTree(DEFAULT_DIR, SmallKit(), "the default directory after the run");
  RemoveTree(DEFAULT_DIR);
}

// Every way of giving up before the install step ends with the abort notice
// and leaves nothing behind.
void AbortEverywhere(Context& context) {
  struct Way {
    int page;
    const char* how;
  };
  const Way ways[] = {
      {101, "Abort"},     {101, "close box"}, {102, "I Disagree"}, {102, "close box"}, {103, "Abort"},
      {103, "close box"}, {104, "Abort"},     {104, "close box"},  {105, "Abort"},     {105, "close box"},
  };
  WriteMedium(context.workDir);
  RemoveTree(DEFAULT_DIR);
  for (const Way& way : ways) {
    RepaintSentinel sentinel;
    SetupRun run(context.setupExe, SW_SHOWNORMAL);
    HWND page = WalkTo(run, way.page, KitDir(context));
    if (std::string(way.how) == "close box")
      run.CloseBox(page);
    else
      run.Click(page, ABORT);
    ExpectAbortNotice(run, sentinel, std::string(way.how) + " on page " + std::to_string(way.page));
    Expect(!IsDirectory(KitDir(context)) && !IsDirectory(DEFAULT_DIR),
           "giving up with %s on page %d left an installation directory", way.how, way.page);
  }
}

void EnterOnLicenseDisagrees(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 102, "");
  ExpectFocusOn(run, ABORT, "the licence page");
  run.Key(page, VK_RETURN);
  ExpectAbortNotice(run, sentinel, "Enter on page 2");
}

// Escape is pressed on every page; the button pressed after it must be the
// one that decides, since the page's loop takes both in order.
void EscapeDoesNothing(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = run.ExpectPage(101, "the start");
  const int order[] = {101, 102, 103, 104, 105};
  for (int i = 0; i < 5; ++i) {
    run.Key(page, VK_ESCAPE);
    if (order[i] == 104) run.Type(page, FIELD, KitDir(context));
    if (order[i] == 105) {
      page = ThroughInstallStep(run, page, context, false);
      break;
    }
    run.Click(page, NEXT);
    page = run.ExpectPage(order[i + 1], "Escape, then Next on page " + std::to_string(order[i]));
  }
  run.Key(page, VK_ESCAPE);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "Escape, then No on page 7");
}

void BackRereadsTheLicence(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 103, "");
  const std::string changed = "A licence changed on disk\r\nwhile page 3 was open.\r\n";
  WriteBytes("LICENSE.TXT", changed);
  run.Click(page, BACK);
  page = run.ExpectPage(102, "Back on page 3");
  ExpectPaneShows(page, changed, "LICENSE.TXT as it is now");
  run.Click(page, NEXT);
  page = run.ExpectPage(103, "I Agree on page 2 again");
  ExpectPaneShows(page, README_TEXT, "README.TXT");
  run.Click(page, ABORT);
  ExpectAbortNotice(run, sentinel, "Abort on page 3");
}

// The field opens with the default on every visit; Next takes what it holds
// at that moment.
void DirectoryFieldOnEveryVisit(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  const std::string first = context.workDir + "\\FIRST", second = context.workDir + "\\SECOND";
  HWND page = WalkTo(run, 105, first);
  run.Click(page, BACK);
  page = run.ExpectPage(104, "Back on page 5");
  ExpectFieldShows(page, DEFAULT_DIR);
  run.Type(page, FIELD, context.workDir + "\\THIRD");
  run.Click(page, BACK);
  page = run.ExpectPage(103, "Back on page 4");
  run.Click(page, NEXT);
  page = run.ExpectPage(104, "Next on page 3");
  ExpectFieldShows(page, DEFAULT_DIR);
  run.Type(page, FIELD, second);
  run.Click(page, NEXT);
  page = run.ExpectPage(105, "Next on page 4");
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
  Expect(IsDirectory(second), "the directory taken by the last Next, %s, was not created", second.c_str());
  Expect(!IsDirectory(first) && !IsDirectory(context.workDir + "\\THIRD"),
         "a directory typed before the last Next on page 4 was created");
}

void ExistingDirectoryIsKept(Context& context) {
  WriteMedium(context.workDir);
  CreateDirectoryA(KitDir(context).c_str(), nullptr);
  WriteBytes(KitDir(context) + "\\KEEP.TXT", "kept");
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, NEXT);
  ExpectCompletionNotice(run, sentinel, "Yes on page 7");
  Expect(ReadBytes(KitDir(context) + "\\KEEP.TXT") == "kept", "a file in the existing directory was changed");
  Expect(ReadBytes(KitDir(context) + "\\DOC\\README.TXT") == SmallKit()[1].data,
         "the kit was not installed into the existing directory");
}

void StartedMinimised(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWMINNOACTIVE);
  HWND page = WalkTo(run, 105, KitDir(context));
  page = ThroughInstallStep(run, page, context, true);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
}

void MissingLicence(Context& context) {
  WriteBytes("README.TXT", README_TEXT);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = run.ExpectPage(101, "the start");
  run.Click(page, NEXT);
  ExpectFatal(run, sentinel, "Next on page 1 without LICENSE.TXT", "Unable to locate required text file");
}

void MissingReadme(Context& context) {
  WriteBytes("LICENSE.TXT", LICENSE_TEXT);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 102, "");
  run.Click(page, NEXT);
  ExpectFatal(run, sentinel, "I Agree on page 2 without README.TXT", "Unable to locate required text file");
}

void EmptyDocuments(Context& context) {
  WriteBytes("LICENSE.TXT", "");
  WriteBytes("README.TXT", "");
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 102, "");
  ExpectPaneShows(page, "", "the empty LICENSE.TXT");
  run.Click(page, NEXT);
  page = run.ExpectPage(103, "I Agree on page 2");
  ExpectPaneShows(page, "", "the empty README.TXT");
  run.CloseBox(page);
  ExpectAbortNotice(run, sentinel, "the close box on page 3");
}

void NoMemoryForTheLicence(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = run.ExpectPage(101, "the start");
  FailImport(run.Process(), "msvcrt.dll", "malloc", 0, 0);
  run.Click(page, NEXT);
  ExpectFatal(run, sentinel, "Next on page 1 with no memory to be had", "Out of memory");
}

void ProgressWindowCannotBeCreated(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  FailImport(run.Process(), "user32.dll", "CreateDialogParamA", 0, 5);
  run.Click(page, NEXT);
  ExpectFatal(run, sentinel, "Next on page 5 when the window cannot be created", "Cannot create modeless dialog.");
  Expect(IsDirectory(KitDir(context)) && IsEmptyDirectory(KitDir(context)),
         "the installation directory made before the failure is not there, empty");
}

// A page the platform cannot show at all ends the run as closing it would.
void PageCannotBeShown(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = run.ExpectPage(101, "the start");
  FailImport(run.Process(), "user32.dll", "DialogBoxParamA", static_cast<std::uintptr_t>(-1), 5);
  run.Click(page, NEXT);
  ExpectAbortNotice(run, sentinel, "a page that could not be shown");
}

}  // namespace

// The road a user takes on a real medium, with a picture of every window:
// the documents are the medium's own, the directory is the default one, and
// the environment settings are added.
void Tour(Context& context) {
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  RepaintSentinel sentinel;
  const char* names[] = {"1-welcome", "2-license", "3-readme", "4-directory", "5-ready"};
  HWND page = run.ExpectPage(101, "the start");
  for (int i = 0; i < 5; ++i) {
    Picture(context, page, names[i]);
    if (i == 4) break;
    run.Click(page, NEXT);
    page = run.ExpectPage(102 + i, std::string("Next on ") + names[i]);
  }
  page = ThroughInstallStep(run, page, context, false);
  Picture(context, page, "7-environment");
  run.Click(page, NEXT);
  ExpectCompletionNotice(run, sentinel, "Yes on page 7", &context);
}

const std::vector<Scenario>& WizardScenarios() {
  static const std::vector<Scenario> scenarios = {
      {"complete-yes", CompleteWithYes},
      {"complete-no", CompleteWithNo},
      {"complete-default-directory", CompleteWithTheDefaultDirectory},
      {"close-box-page7", CloseBoxOnPage7},
      {"abort-everywhere", AbortEverywhere},
      {"enter-on-licence", EnterOnLicenseDisagrees},
      {"escape-does-nothing", EscapeDoesNothing},
      {"back-rereads-licence", BackRereadsTheLicence},
      {"directory-field-visits", DirectoryFieldOnEveryVisit},
      {"directory-exists", ExistingDirectoryIsKept},
      {"started-minimised", StartedMinimised},
      {"empty-documents", EmptyDocuments},
      {"missing-licence", MissingLicence},
      {"missing-readme", MissingReadme},
      {"fatal-out-of-memory", NoMemoryForTheLicence},
      {"fatal-modeless-dialog", ProgressWindowCannotBeCreated},
      {"page-cannot-show", PageCannotBeShown},
  };
  return scenarios;
}

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> all = [] {
    std::vector<Scenario> scenarios = WizardScenarios();
    for (const Scenario& s : InstallScenarios()) scenarios.push_back(s);
    for (const Scenario& s : IntegrationScenarios()) scenarios.push_back(s);
    for (const Scenario& s : CodePageScenarios()) scenarios.push_back(s);
    for (const Scenario& s : LibraryScenarios()) scenarios.push_back(s);
    return scenarios;
  }();
  return all;
}
