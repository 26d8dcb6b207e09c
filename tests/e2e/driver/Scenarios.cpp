#include "Scenarios.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Capture.h"
#include "Harness.h"
#include "Inject.h"
#include "Templates.h"

namespace {

constexpr int NEXT = 1001, BACK = 1000, ABORT = 1003, PANE = 1005, FIELD = 1008;

const char COMPLETED[] =
    "Installation completed!\n\nYou should restart your computer prior to using the Quenvar (tm) 98 for the first "
    "time.";
const char ABORTED[] = "Installation process aborted.";
const char DEFAULT_DIR[] = "C:\\QUENV98";

// ---- files of the working folder ----------------------------------------

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  Expect(out.good(), "cannot write %s", path.c_str());
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsEmptyDirectory(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool empty = true;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") empty = false;
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  return empty;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(child);
      else
        DeleteFileA(child.c_str());
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
  Expect(!IsDirectory(path), "cannot remove %s before the run", path.c_str());
}

const std::string LICENSE_TEXT =
    "QUENVAR 98 LICENCE AGREEMENT\r\n\r\n1. You may install the kit on one machine.\r\n"
    "2. Bytes past 127 pass unchanged: \xA7 \xE9.\r\n";
const std::string README_TEXT = "Read me first\r\nThe compilers live in BIN.\r\nLast line without a line end";

void WriteDocuments(const Context&) {
  WriteBytes("LICENSE.TXT", LICENSE_TEXT);
  WriteBytes("README.TXT", README_TEXT);
}

// ---- what a scenario sees ------------------------------------------------

// A picture of a window whose program is waiting for the user: it is asked
// to finish painting first.
void Picture(const Context& context, HWND window, const char* name) {
  if (context.picturesDir.empty()) return;
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  SendMessageA(window, WM_NULL, 0, 0);
  SaveWindowPicture(window, context.picturesDir + "\\" + name + ".bmp");
}

// A picture of a window whose program is held: it painted before it stopped.
void PictureHeld(const Context& context, HWND window, const char* name) {
  if (!context.picturesDir.empty()) SaveWindowPicture(window, context.picturesDir + "\\" + name + ".bmp");
}

std::string PaneText(HWND page) { return WindowText(GetDlgItem(page, PANE)); }

void ExpectPaneShows(HWND page, const std::string& bytes, const char* file) {
  const std::string shown = PaneText(page);
  Expect(shown == bytes, "the text pane shows \"%s\", not the bytes of %s: \"%s\"", Printable(shown).c_str(), file,
         Printable(bytes).c_str());
}

void ExpectFieldShows(HWND page, const std::string& text) {
  const std::string shown = WindowText(GetDlgItem(page, FIELD));
  Expect(shown == text, "the directory field shows \"%s\", expected \"%s\"", shown.c_str(), text.c_str());
}

void ExpectFocusOn(const SetupRun& run, int id, const char* where) {
  HWND focus = run.Focus();
  Expect(focus != nullptr && GetDlgCtrlID(focus) == id, "on %s the keyboard focus is on control %d (\"%s\"), not %d",
         where, focus ? GetDlgCtrlID(focus) : 0, focus ? WindowText(focus).c_str() : "", id);
}

void ExpectBox(const MessageBoxView& box, const char* caption, const char* text, BoxIcon icon) {
  Expect(box.caption == caption, "the message box is captioned \"%s\", expected \"%s\"", box.caption.c_str(), caption);
  Expect(box.text == text, "the message box says \"%s\", expected \"%s\"", Printable(box.text).c_str(),
         Printable(text).c_str());
  Expect(box.icon == icon, "the message box shows %s, expected %s", IconName(box.icon), IconName(icon));
}

// The last screens of every run: the box, OK, the end with exit code 0, and
// the repaint of the whole desktop.
void ExpectEnding(SetupRun& run, RepaintSentinel& sentinel, const std::string& after, const char* caption,
                  const char* text, BoxIcon icon, const Context* pictures = nullptr,
                  const char* pictureName = nullptr) {
  MessageBoxView box = run.ExpectMessageBox(after);
  ExpectBox(box, caption, text, icon);
  if (pictures) Picture(*pictures, box.window, pictureName);
  sentinel.Arm();
  run.Acknowledge(box);
  const DWORD code = run.ExpectExit(std::string("OK on \"") + caption + "\"");
  Expect(code == 0, "the program ended with exit code %lu, not 0", code);
  sentinel.ExpectRepainted(std::string("\"") + caption + "\"");
}

void ExpectAbortNotice(SetupRun& run, RepaintSentinel& sentinel, const std::string& after) {
  ExpectEnding(run, sentinel, after, "Notice", ABORTED, BoxIcon::Warning);
}

void ExpectCompletionNotice(SetupRun& run, RepaintSentinel& sentinel, const std::string& after,
                            const Context* pictures = nullptr) {
  ExpectEnding(run, sentinel, after, "Notice", COMPLETED, BoxIcon::None, pictures, "notice-completed");
}

void ExpectFatal(SetupRun& run, RepaintSentinel& sentinel, const std::string& after, const char* message) {
  ExpectEnding(run, sentinel, after, "Fatal Error", message, BoxIcon::Error);
}

// ---- roads through the wizard --------------------------------------------

std::string KitDir(const Context& context) { return context.workDir + "\\KIT"; }

// Walks from the start to the page, pressing Next (and "I Agree"); on page 4
// types the directory unless it is empty.
HWND WalkTo(SetupRun& run, int page, const std::string& directory) {
  HWND window = run.ExpectPage(101, "the start");
  const int order[] = {101, 102, 103, 104, 105};
  for (int i = 0; order[i] != page; ++i) {
    if (order[i] == 104 && !directory.empty()) run.Type(window, FIELD, directory);
    run.Click(window, NEXT);
    window = run.ExpectPage(order[i + 1], "Next on page " + std::to_string(order[i]));
  }
  return window;
}

// Next on page 5, holding the install step once its window is up: while
// the step waits, the window is looked at (without asking the held program
// anything) and pictured; then it is let go. Returns page 7.
HWND ThroughInstallStep(SetupRun& run, HWND ready, const Context& context, bool minimised) {
  ImportGate hold(run.Process(), "user32.dll", "SendMessageA");
  run.Click(ready, NEXT);
  hold.WaitHeld("the install step to send its first message after Next on page 5");
  HWND progress = run.ProgressWindow();
  Expect(progress != nullptr && IsWindowVisible(progress), "the progress window is not shown while the step works");
  Expect(StoredText(progress) == "Setup", "the progress window is captioned \"%s\"", StoredText(progress).c_str());
  Expect(!(GetWindowLongA(progress, GWL_STYLE) & WS_SYSMENU), "the progress window has a close box");
  Expect((IsIconic(progress) != FALSE) == minimised, "the progress window is %s, but the program was started %s",
         IsIconic(progress) ? "minimised" : "not minimised", minimised ? "minimised" : "normally");
  if (!minimised) {
    CheckCentred(progress, "the progress window");
    const ExpectedTemplate& expected = Template(106);
    HWND text = GetWindow(progress, GW_CHILD);
    Expect(text && StoredText(text) == expected.controls[0].text, "the progress window says \"%s\"",
           text ? StoredText(text).c_str() : "nothing");
    HWND bar = GetDlgItem(progress, 1009);
    Expect(bar != nullptr && ClassOf(bar) == PROGRESS_CLASSA, "the progress window has no progress bar 1009");
    Expect(IsWindowVisible(bar) != FALSE, "the progress bar is not visible");
    PictureHeld(context, progress, "6-progress");
  }
  hold.Release();
  HWND environment = run.ExpectPage(107, "the install step");
  Expect(IsWindow(progress) != FALSE, "the progress window was destroyed; it is only to be hidden");
  Expect(!IsWindowVisible(progress), "the progress window is still visible while page 7 is shown");
  HWND bar = GetDlgItem(progress, 1009);
  const auto low = SendMessageA(bar, PBM_GETRANGE, TRUE, 0);
  const auto position = SendMessageA(bar, PBM_GETPOS, 0, 0);
  Expect(low == 0 && position >= 0, "the bar's range starts at %ld and it stands at %ld", static_cast<long>(low),
         static_cast<long>(position));
  return environment;
}

// ---- the scenarios -------------------------------------------------------

void CompleteWithYes(Context& context) {
  WriteDocuments(context);
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
  const auto lines = SendMessageA(GetDlgItem(page, PANE), EM_GETLINECOUNT, 0, 0);
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
  Expect(IsDirectory(KitDir(context)), "the install step did not create %s", KitDir(context).c_str());
  run.Click(page, NEXT);

  ExpectCompletionNotice(run, sentinel, "Yes on page 7", &context);
}

void CompleteWithNo(Context& context) {
  WriteDocuments(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
  Expect(IsDirectory(KitDir(context)), "the install step did not create %s", KitDir(context).c_str());
}

void CloseBoxOnPage7(Context& context) {
  WriteDocuments(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  page = ThroughInstallStep(run, page, context, false);
  run.CloseBox(page);
  ExpectCompletionNotice(run, sentinel, "the close box on page 7");
}

void CompleteWithTheDefaultDirectory(Context& context) {
  WriteDocuments(context);
  RemoveTree(DEFAULT_DIR);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, "");
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, NEXT);
  ExpectCompletionNotice(run, sentinel, "Yes on page 7");
  Expect(IsDirectory(DEFAULT_DIR), "the default directory %s was not created", DEFAULT_DIR);
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
  WriteDocuments(context);
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
  WriteDocuments(context);
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
  WriteDocuments(context);
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
  WriteDocuments(context);
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
  WriteDocuments(context);
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

void EmptyDirectoryField(Context& context) {
  WriteDocuments(context);
  RemoveTree(DEFAULT_DIR);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 104, "");
  run.Type(page, FIELD, "");
  run.Click(page, NEXT);
  page = run.ExpectPage(105, "Next on page 4 with an empty field");
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
  Expect(!IsDirectory(DEFAULT_DIR), "an empty field made the program install into the default directory");
}

// 300 characters in the field: the first 258 are the directory.
void LongDirectoryField(Context& context) {
  WriteDocuments(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  std::string taken = context.workDir + "\\";
  taken += std::string(258 - taken.size(), 'L');
  const std::string typed = taken + std::string(300 - taken.size(), 'X');
  HWND page = WalkTo(run, 104, "");
  run.Type(page, FIELD, typed);
  WaitUntil("the field to hold the 300 typed characters", [&] { return WindowText(GetDlgItem(page, FIELD)) == typed; });
  run.Click(page, NEXT);
  page = run.ExpectPage(105, "Next on page 4 with 300 characters");
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
  Expect(IsDirectory(taken), "the directory named by the first 258 characters was not created");
  Expect(!IsDirectory(taken + "X"), "more than 258 characters of the field were taken");
}

void OnlyOneLevelIsCreated(Context& context) {
  WriteDocuments(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  const std::string deep = context.workDir + "\\OUTER\\INNER";
  HWND page = WalkTo(run, 105, deep);
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
  Expect(!IsDirectory(context.workDir + "\\OUTER"), "the install step created a missing parent directory");
}

void ExistingDirectoryIsKept(Context& context) {
  WriteDocuments(context);
  CreateDirectoryA(KitDir(context).c_str(), nullptr);
  WriteBytes(KitDir(context) + "\\KEEP.TXT", "kept");
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  page = ThroughInstallStep(run, page, context, false);
  run.Click(page, NEXT);
  ExpectCompletionNotice(run, sentinel, "Yes on page 7");
  Expect(ReadBytes(KitDir(context) + "\\KEEP.TXT") == "kept", "a file in the existing directory was changed");
}

void StartedMinimised(Context& context) {
  WriteDocuments(context);
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
  WriteDocuments(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = run.ExpectPage(101, "the start");
  FailImport(run.Process(), "msvcrt.dll", "malloc", 0);
  run.Click(page, NEXT);
  ExpectFatal(run, sentinel, "Next on page 1 with no memory to be had", "Out of memory");
}

void ProgressWindowCannotBeCreated(Context& context) {
  WriteDocuments(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  FailImport(run.Process(), "user32.dll", "CreateDialogParamA", 0);
  run.Click(page, NEXT);
  ExpectFatal(run, sentinel, "Next on page 5 when the window cannot be created", "Cannot create modeless dialog.");
  Expect(IsDirectory(KitDir(context)) && IsEmptyDirectory(KitDir(context)),
         "the installation directory made before the failure is not there, empty");
}

// A page the platform cannot show at all ends the run as closing it would.
void PageCannotBeShown(Context& context) {
  WriteDocuments(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = run.ExpectPage(101, "the start");
  FailImport(run.Process(), "user32.dll", "DialogBoxParamA", static_cast<std::uint64_t>(-1));
  run.Click(page, NEXT);
  ExpectAbortNotice(run, sentinel, "a page that could not be shown");
}

}  // namespace

// The road a user takes on a real medium, with a picture of every window:
// the documents are the medium's own and the directory is the default one.
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
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7", &context);
}

const std::vector<Scenario>& Scenarios() {
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
      {"directory-field-empty", EmptyDirectoryField},
      {"directory-field-300", LongDirectoryField},
      {"directory-one-level", OnlyOneLevelIsCreated},
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
