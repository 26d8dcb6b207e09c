#include "ScenarioKit.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Capture.h"
#include "Inject.h"
#include "Templates.h"
#include "kit/LibraryWriter.h"
#include "kit/szdd/Szdd.h"

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

std::string WindowsDirectory() {
  char windows[MAX_PATH];
  const UINT got = GetWindowsDirectoryA(windows, sizeof windows);
  Expect(got > 0 && got < sizeof windows, "the driver cannot tell the Windows directory");
  return windows;
}

std::string InWindows(const char* name) { return WindowsDirectory() + "\\" + name; }
std::string OnWindowsDrive(const char* name) { return WindowsDirectory().substr(0, 1) + ":\\" + name; }

const std::string LICENSE_TEXT =
    "QUENVAR 98 LICENCE AGREEMENT\r\n\r\n1. You may install the kit on one machine.\r\n"
    "2. Bytes past 127 pass unchanged: \xA7 \xE9.\r\n";
// A list without item lines, which converts the same whatever the kit.
const std::string SHORTCUT_LIST = "[progman.groups]\r\ngroup0=Quenvar 98\r\n";
const std::string README_TEXT = "Read me first\r\nThe compilers live in BIN.\r\nLast line without a line end";

void WriteDocuments(const std::string& dir) {
  WriteBytes(dir + "\\LICENSE.TXT", LICENSE_TEXT);
  WriteBytes(dir + "\\README.TXT", README_TEXT);
  WriteBytes(dir + "\\SHELLINK.DAT", SHORTCUT_LIST);
}

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

void CollectTree(const std::string& root, const std::string& relative, std::vector<TreeItem>& items) {
  WIN32_FIND_DATAA entry;
  const std::string dir = relative.empty() ? root : root + relative;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = relative + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      items.push_back({path + "\\", ""});
      CollectTree(root, path + "\\", items);
    } else {
      items.push_back({path, ReadBytes(root + path)});
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
}

std::string Describe(const std::vector<TreeItem>& tree) {
  std::string text;
  for (const TreeItem& item : tree) {
    text += "\n  " + item.path;
    if (item.path.back() != '\\') text += " (" + std::to_string(item.bytes.size()) + " bytes)";
  }
  return text.empty() ? "\n  nothing" : text;
}

}  // namespace

std::vector<TreeItem> ReadTree(const std::string& dir) {
  std::vector<TreeItem> items;
  CollectTree(!dir.empty() && dir.back() == '\\' ? dir : dir + "\\", "", items);
  std::sort(items.begin(), items.end());
  return items;
}

// ---- media ---------------------------------------------------------------

namespace {

// A header of some 70 KB whose lines all differ: long enough to take two
// chunks, and varied enough that a damaged byte of its compressed form
// changes what it expands to.
std::string TypesHeader() {
  std::string text;
  for (unsigned i = 0; text.size() < 70000; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "#define QV_TYPE_%u 0x%08x /* %u */\r\n", i, i * 2654435761u, i * i % 9973);
    text += line;
  }
  return text;
}

}  // namespace

const Kit& SmallKit() {
  static const Kit kit = {
      {"BIN\\QCC.CFG", "-zp1 -I\\QUENV98\\INCLUDE\r\n"},
      {"DOC\\README.TXT", "Quenvar 98\r\nRead me first.\r\n"},
      {"INCLUDE\\QUENVAR.H", "#define QUENVAR 98\n"},
      {"INCLUDE\\SYS\\TYPES.H", TypesHeader()},
      {"LICENSE.TXT", LICENSE_TEXT},
  };
  return kit;
}

std::string PackArchive(const Kit& kit) {
  std::vector<std::uint8_t> bytes;
  VectorSink sink(bytes);
  std::string error;
  Expect(WriteLibraryHeader(sink, error), "cannot pack the archive's header: %s", error.c_str());
  for (const KitFile& file : kit) {
    Expect(WriteLibraryEntry(sink, file.name, reinterpret_cast<const std::uint8_t*>(file.data.data()), file.data.size(),
                             error),
           "cannot pack %s: %s", file.name.c_str(), error.c_str());
  }
  return std::string(bytes.begin(), bytes.end());
}

std::string CompressPayload(const std::string& archive) {
  std::vector<std::uint8_t> packed;
  std::string error;
  Expect(SzddCompress(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size(), 'X', packed, error),
         "cannot compress the payload: %s", error.c_str());
  return std::string(packed.begin(), packed.end());
}

void WriteMedium(const std::string& dir, const Kit& kit) {
  WriteDocuments(dir);
  WriteBytes(dir + "\\DATA.CMP", CompressPayload(PackArchive(kit)));
}

std::vector<TreeItem> KitTree(const Kit& kit) {
  std::vector<TreeItem> items;
  auto add = [&](const TreeItem& item) {
    for (const TreeItem& had : items)
      if (_stricmp(had.path.c_str(), item.path.c_str()) == 0) return;
    items.push_back(item);
  };
  for (const KitFile& file : kit) {
    std::string name = file.name;
    for (char& c : name)
      if (c == '/') c = '\\';
    if (!name.empty() && name[0] == '\\') name.erase(0, 1);
    for (std::size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1))
      add({name.substr(0, at + 1), ""});
    add({name, file.data});
  }
  std::sort(items.begin(), items.end());
  return items;
}

void ExpectInstalledTree(const std::string& dir, const Kit& kit, const char* what) {
  const std::vector<TreeItem> installed = ReadTree(dir);
  const std::vector<TreeItem> expected = KitTree(kit);
  Expect(installed == expected, "%s: %s holds%s\nbut the kit's tree is%s", what, dir.c_str(),
         Describe(installed).c_str(), Describe(expected).c_str());
}

// ---- what a scenario sees ------------------------------------------------

// A picture of a window whose program is waiting for the user: it is asked
// to finish painting first.
void Picture(const Context& context, HWND window, const char* name) {
  if (context.picturesDir.empty()) return;
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Ask(window, WM_NULL, 0, 0, "WM_NULL");
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
                  const char* text, BoxIcon icon, const Context* pictures, const char* pictureName) {
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
                            const Context* pictures) {
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

HWND WalkShowingDocuments(SetupRun& run, const std::string& licence, const char* licenceName, const std::string& readme,
                          const char* readmeName, const std::string& directory) {
  HWND page = WalkTo(run, 102, "");
  ExpectPaneShows(page, licence, licenceName);
  run.Click(page, NEXT);
  page = run.ExpectPage(103, "I Agree on page 2");
  ExpectPaneShows(page, readme, readmeName);
  run.Click(page, NEXT);
  page = run.ExpectPage(104, "Next on page 3");
  run.Type(page, FIELD, directory);
  run.Click(page, NEXT);
  page = run.ExpectPage(105, "Next on page 4");
  run.Click(page, NEXT);
  return run.ExpectPage(107, "Next on page 5, through the install step");
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
  // The extraction set the range to its entries and stepped once for each.
  const auto low = Ask(bar, PBM_GETRANGE, TRUE, 0, "PBM_GETRANGE");
  const auto high = Ask(bar, PBM_GETRANGE, FALSE, 0, "PBM_GETRANGE");
  const auto position = Ask(bar, PBM_GETPOS, 0, 0, "PBM_GETPOS");
  Expect(low == 0 && position == high, "after the install step the bar's range is %ld to %ld and it stands at %ld",
         static_cast<long>(low), static_cast<long>(high), static_cast<long>(position));
  return environment;
}
