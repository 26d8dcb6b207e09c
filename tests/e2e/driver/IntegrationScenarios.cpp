// System integration under Wine, after real installations: the shortcut
// list converted into SETUP.INI in the Windows directory, the group
// converter started on it with the program's show state, and the compiler
// settings appended to AUTOEXEC.BAT on the Windows drive with its backup
// AUTOEXEC.QVB beside it.
//
// The prefix is shared by every scenario of a run, and other scenarios
// complete installations too: each run here sets up the prefix's files it
// depends on first, and every scenario puts them back as it found them.
#include <windows.h>
// tlhelp32.h needs the types of windows.h first.
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Harness.h"
#include "Inject.h"
#include "ScenarioKit.h"
#include "Scenarios.h"

namespace {

const char LIST_MISSING[] = "Cannot create shortcuts (missing data file)";
const char INI_UNWRITABLE[] = "Cannot create shortcuts (unable to write temporary file)";
const char OUT_OF_MEMORY[] = "Out of memory";
const char LINES_LEFT_OUT[] =
    "Some shortcuts were not created: their paths below the installation directory are too long.";

// ---- the prefix's files --------------------------------------------------

std::string SetupIni() { return InWindows("SETUP.INI"); }
std::string BatchPath() { return OnWindowsDrive("AUTOEXEC.BAT"); }
std::string BackupPath() { return OnWindowsDrive("AUTOEXEC.QVB"); }

// The lines that a run answered Yes appends, as they stand on disk.
std::string SettingsLines(const std::string& installDir) {
  return "SET WCC386=%WCC386% /zp1\r\nSET CL=%CL% /Zp1\r\nSET INCLUDE=%INCLUDE%;" + installDir + "\r\n";
}

std::string NotSet(const char* why) { return "The environment variables were not set: " + BatchPath() + " " + why; }

// What stands at a path: nothing, a file with its bytes, or a directory.
struct FileState {
  enum Kind { Absent, File, Directory } kind;
  std::string bytes;
  bool operator==(const FileState& other) const { return kind == other.kind && bytes == other.bytes; }
};

FileState Absent() { return {FileState::Absent, ""}; }
FileState FileOf(const std::string& bytes) { return {FileState::File, bytes}; }
FileState Directory() { return {FileState::Directory, ""}; }

FileState StateOf(const std::string& path) {
  if (IsDirectory(path)) return Directory();
  if (IsFile(path)) return FileOf(ReadBytes(path));
  return Absent();
}

std::string Describe(const FileState& state) {
  switch (state.kind) {
    case FileState::Absent: return "nothing";
    case FileState::Directory: return "a directory";
    default: return "\"" + Printable(state.bytes) + "\"";
  }
}

// Makes the path hold the state; false when it cannot. Never throws, so
// that a guard's destructor can use it.
bool Place(const std::string& path, const FileState& state) {
  if (StateOf(path) == state) return true;
  if (IsDirectory(path))
    RemoveDirectoryA(path.c_str());
  else
    DeleteFileA(path.c_str());
  if (state.kind == FileState::Directory) CreateDirectoryA(path.c_str(), nullptr);
  if (state.kind == FileState::File) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL wrote = state.bytes.empty() ||
                       WriteFile(file, state.bytes.data(), static_cast<DWORD>(state.bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!wrote || written != state.bytes.size()) return false;
  }
  return StateOf(path) == state;
}

void Put(const std::string& path, const FileState& state) {
  Expect(Place(path, state), "cannot make %s hold %s before the run", path.c_str(), Describe(state).c_str());
}

void ExpectState(const std::string& path, const FileState& expected, const std::string& what) {
  const FileState found = StateOf(path);
  Expect(found == expected, "%s: %s holds %s\nexpected %s", what.c_str(), path.c_str(), Describe(found).c_str(),
         Describe(expected).c_str());
}

// Puts back, when the scenario ends however it ends, the prefix's files that
// these scenarios change: the next scenario of the run finds them as this one
// did, and never a directory where a file belongs.
class PrefixFilesKept {
 public:
  PrefixFilesKept() {
    for (const std::string& path : {BatchPath(), BackupPath(), SetupIni()}) kept_.push_back({path, StateOf(path)});
  }
  ~PrefixFilesKept() {
    for (const auto& [path, state] : kept_) {
      if (!Place(path, state)) std::fprintf(stderr, "could not put %s back as it was\n", path.c_str());
    }
  }
  PrefixFilesKept(const PrefixFilesKept&) = delete;
  PrefixFilesKept& operator=(const PrefixFilesKept&) = delete;

 private:
  std::vector<std::pair<std::string, FileState>> kept_;
};

// ---- the group converter's records ---------------------------------------

std::string ConverterLog() { return InWindows("GRPCONV.LOG"); }
std::string ConverterCopy() { return InWindows("GRPCONV.INI"); }

// How many group converters run now. One that SETUP.EXE started is found
// here until it has ended, and it writes its log before it ends.
int RunningConverters() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  Expect(snapshot != INVALID_HANDLE_VALUE, "cannot list the processes (error %lu)", GetLastError());
  int running = 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (_stricmp(entry.szExeFile, "grpconv.exe") == 0) ++running;
  }
  CloseHandle(snapshot);
  return running;
}

// Clears the converter's records before a run, once a converter started by
// an earlier run (this scenario's or another's) has ended.
void ForgetConverter() {
  WaitUntil("the group converter of an earlier run to end", [] { return RunningConverters() == 0; });
  DeleteFileA(ConverterLog().c_str());
  DeleteFileA(ConverterCopy().c_str());
  Expect(!IsFile(ConverterLog()) && !IsFile(ConverterCopy()), "cannot remove the group converter's records");
}

// The converter runs on its own after SETUP.EXE goes on; its log, written
// last, says that it has recorded everything.
void ExpectConverterRan(WORD show, const std::string& setupIni, const std::string& what) {
  WaitUntil("the group converter's log " + ConverterLog() + " after " + what, [] { return IsFile(ConverterLog()); });
  const std::string log = ReadBytes(ConverterLog());
  char expected[256];
  std::snprintf(expected, sizeof expected,
                "command=grpconv -o\r\nuseshowwindow=1\r\nshowwindow=%u\r\ncmdshow=%u\r\nsetupini=%zu\r\n", show, show,
                setupIni.size());
  Expect(log == expected, "%s: the group converter recorded\n  %s\nexpected\n  %s", what.c_str(),
         Printable(log).c_str(), Printable(expected).c_str());
  ExpectState(ConverterCopy(), FileOf(setupIni), what + ", SETUP.INI as the converter found it when it started");
}

// Asked once SETUP.EXE has ended: a converter it had started would still be
// running or would have left its records.
void ExpectConverterNotStarted(const std::string& what) {
  Expect(RunningConverters() == 0 && !IsFile(ConverterLog()) && !IsFile(ConverterCopy()),
         "%s: the group converter was started", what.c_str());
}

// ---- kits, lists and what they convert to --------------------------------

// Names whose long forms differ from their short ones, as a kit's do.
const Kit& LongNamesKit() {
  static const Kit kit = {
      {"BIN\\QCC.EXE", "MZ the compiler"},
      {"LongFileName.hlp", "help"},
      {"Programs\\Quenvar Compiler.exe", "MZ the compiler's front end"},
      {"Read Me First\\Getting Started.txt", "Start here.\r\n"},
  };
  return kit;
}

// The platform's short form of an existing path, or the path itself where
// there is none, which is what position 2 then holds.
std::string ShortFormOr(const std::string& path) {
  char shortPath[MAX_PATH];
  const DWORD got = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  return got > 0 && got < sizeof shortPath ? std::string(shortPath) : path;
}

// The line that SETUP.INI gets for an item line whose fields the list's
// walk finds as given: each path below the installation directory, the
// second also in its short form; CR LF as on disk. Asked once the kit is
// installed, since only what exists has a short form.
std::string Item(const std::string& dir, const std::string& first, const std::string& second,
                 const std::string& third) {
  return "\"" + first + "\",\"" + ShortFormOr(dir + second) + "\",\"" + dir + second + "\",,,\"" + dir + third +
         "\"\r\n";
}

// One line of a shortcut list and what it converts to.
struct ListRow {
  std::string why;
  std::string line;       // as SHELLINK.DAT holds it
  std::string converted;  // what SETUP.INI holds for it; empty when it is left out
};

std::string ListOf(const std::vector<ListRow>& rows) {
  std::string list;
  for (const ListRow& row : rows) list += row.line;
  return list;
}

std::string SetupIniOf(const std::vector<ListRow>& rows) {
  std::string ini;
  for (const ListRow& row : rows) ini += row.converted;
  return ini;
}

// SETUP.INI holds the rows' conversions and nothing else; a failure names
// the first row whose line is not where the rows before it end.
void ExpectConvertedRows(const std::vector<ListRow>& rows, const std::string& what) {
  const std::string ini = ReadBytes(SetupIni());
  std::size_t at = 0;
  for (const ListRow& row : rows) {
    Expect(ini.compare(at, row.converted.size(), row.converted) == 0,
           "%s, %s:\n  the list's line   %s\n  gave in SETUP.INI %s\n  expected          %s", what.c_str(),
           row.why.c_str(), Printable(row.line).c_str(), Printable(ini.substr(at, row.converted.size() + 40)).c_str(),
           Printable(row.converted).c_str());
    at += row.converted.size();
  }
  Expect(at == ini.size(), "%s: SETUP.INI goes on after the last line: %s", what.c_str(),
         Printable(ini.substr(at)).c_str());
}

// ---- one installation up to page 7 and its answer ------------------------

enum class Answer { Yes, No, CloseBox };

const char* NameOf(Answer answer) {
  switch (answer) {
    case Answer::Yes: return "Yes on page 7";
    case Answer::No: return "No on page 7";
    default: return "the close box on page 7";
  }
}

// Walks to page 5 with the directory typed on page 4 and goes through the
// install step; returns page 7.
HWND ToEnvironmentPage(SetupRun& run, const std::string& dir) {
  HWND page = WalkTo(run, 105, dir);
  run.Click(page, NEXT);
  return run.ExpectPage(107, "Next on page 5, through the install step");
}

void Give(SetupRun& run, HWND page, Answer answer) {
  if (answer == Answer::Yes)
    run.Click(page, NEXT);
  else if (answer == Answer::No)
    run.Click(page, BACK);
  else
    run.CloseBox(page);
}

// A whole run answered Yes that ends in the completion notice, with a
// warning box first when the text is given.
void RunAnsweredYes(const Context& context, const std::string& dir, const std::string& warning,
                    const std::function<void()>& atWarning = {}) {
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  Give(run, ToEnvironmentPage(run, dir), Answer::Yes);
  if (!warning.empty()) {
    const MessageBoxView box = run.ExpectMessageBox("Yes on page 7");
    ExpectBox(box, "Warning", warning.c_str(), BoxIcon::Warning);
    if (atWarning) atWarning();
    run.Acknowledge(box);
  }
  ExpectCompletionNotice(run, sentinel, warning.empty() ? "Yes on page 7" : "OK on the warning");
}

// ---- the scenarios: shortcuts --------------------------------------------

// Every answer on page 7 has the shortcuts made: SETUP.INI byte for byte,
// with the short forms that the platform gives for the installed tree, and
// the converter started on it complete, with the program's show state. Only
// Yes touches the batch files.
void ShortcutsForEveryAnswer(Context& context) {
  PrefixFilesKept kept;
  const std::string dir = KitDir(context);
  struct Shortcut {
    const char* first;
    const char* second;
    const char* third;
    bool installed;  // the second field names something the kit installs
  };
  const Shortcut shortcuts[] = {
      {"Getting Started", "\\Read Me First\\Getting Started.txt", "\\Read Me First", true},
      {"Compiler", "\\Programs\\Quenvar Compiler.exe", "\\Programs", true},
      {"Help", "\\LongFileName.hlp", "\\", true},
      {"Read Me folder", "\\Read Me First", "\\Read Me First", true},
      {"Command-line compiler", "\\BIN\\QCC.EXE", "\\BIN", true},
      {"Not installed", "\\Not Installed\\Missing Tool.exe", "\\Not Installed", false},
  };
  auto listRows = [&] {
    std::vector<ListRow> rows = {{"the groups section", "[progman.groups]\r\ngroup0=Quenvar 98\r\n\r\n",
                                  "[progman.groups]\r\ngroup0=Quenvar 98\r\n\r\n"},
                                 {"the group's header", "[group0]\r\n", "[group0]\r\n"}};
    for (const Shortcut& s : shortcuts) {
      rows.push_back({std::string("the shortcut \"") + s.first + "\"",
                      std::string("(") + s.first + "," + s.second + "," + s.third + "\r\n",
                      Item(dir, s.first, s.second, s.third)});
    }
    rows.push_back({"the line after the shortcuts", "; end of the group\r\n", "; end of the group\r\n"});
    return rows;
  };

  struct {
    Answer answer;
    WORD show;
    FileState batch, backup;  // before the run; Yes extends them, the others leave them
  } runs[] = {
      {Answer::Yes, SW_SHOWNORMAL, FileOf("@ECHO OFF\r\nPATH C:\\DOS\r\n"), FileOf("REM an older backup\r\n")},
      {Answer::No, SW_SHOWMINNOACTIVE, FileOf("@ECHO OFF\r\nPATH C:\\DOS\r\n"), FileOf("REM an older backup\r\n")},
      {Answer::CloseBox, SW_SHOWNORMAL, Absent(), Absent()},
  };
  WriteMedium(context.workDir, LongNamesKit());
  WriteBytes(context.workDir + "\\SHELLINK.DAT", ListOf(listRows()));
  // A longer SETUP.INI from before: the new one replaces it whole.
  std::string stale;
  while (stale.size() < 5000) stale += "stale line of an earlier SETUP.INI\r\n";

  for (const auto& r : runs) {
    const std::string what = NameOf(r.answer) + std::string(r.show == SW_SHOWNORMAL ? "" : ", started minimised");
    RemoveTree(dir);
    Put(BatchPath(), r.batch);
    Put(BackupPath(), r.backup);
    Put(SetupIni(), FileOf(stale));
    ForgetConverter();
    RepaintSentinel sentinel;
    SetupRun run(context.setupExe, r.show);
    HWND page = ToEnvironmentPage(run, dir);
    ExpectInstalledTree(dir, LongNamesKit(), what.c_str());
    // The short forms are what the test is about: the installed names must
    // have ones that differ, and the missing one none.
    for (const Shortcut& s : shortcuts) {
      const std::string path = dir + s.second;
      char shortPath[MAX_PATH];
      const DWORD got = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
      if (s.installed)
        Expect(got > 0 && got < sizeof shortPath && path != shortPath,
               "the platform gives no short form that differs from %s: the kit shows nothing", path.c_str());
      else
        Expect(got == 0, "the platform gives a short form for %s, which is not installed", path.c_str());
    }
    Give(run, page, r.answer);
    ExpectCompletionNotice(run, sentinel, what);
    const std::vector<ListRow> rows = listRows();
    ExpectConvertedRows(rows, what);
    ExpectConverterRan(r.show, SetupIniOf(rows), what);
    if (r.answer == Answer::Yes) {
      ExpectState(BatchPath(), FileOf(r.batch.bytes + SettingsLines(dir)), what);
      ExpectState(BackupPath(), r.batch, what);
    } else {
      ExpectState(BatchPath(), r.batch, what + " (AUTOEXEC.BAT must not be touched)");
      ExpectState(BackupPath(), r.backup, what + " (AUTOEXEC.QVB must not be touched)");
    }
  }
}

// The line cases of the list's field walk that reach the converter, in one
// list: each row's line, and what SETUP.INI holds for it.
void ShortcutLineCases(Context& context) {
  PrefixFilesKept kept;
  const std::string dir = KitDir(context);
  auto item = [&](const std::string& first, const std::string& second, const std::string& third) {
    return Item(dir, first, second, third);
  };
  auto listRows = [&]() -> std::vector<ListRow> {
    return {
        {"a section line is copied", "[group0]\r\n", "[group0]\r\n"},
        {"a blank line is copied", "\r\n", "\r\n"},
        {"a line ended by LF alone gets CR LF", "; LF alone\n", "; LF alone\r\n"},
        {"blanks next to the commas stay in the fields", "( Compiler ,\\BIN\\QCC.EXE, \\BIN \r\n",
         item(" Compiler ", "\\BIN\\QCC.EXE", " \\BIN ")},
        {"a \")\" at the end belongs to the third field", "(Help,\\LongFileName.hlp,\\Read Me First)\r\n",
         item("Help", "\\LongFileName.hlp", "\\Read Me First)")},
        {"an empty third field gives the installation directory alone", "(Help,\\LongFileName.hlp,\r\n",
         item("Help", "\\LongFileName.hlp", "")},
        {"a fourth field and those after it are left out",
         "(Four,\\Programs\\Quenvar Compiler.exe,\\Programs,\\Extra,more\r\n",
         item("Four", "\\Programs\\Quenvar Compiler.exe", "\\Programs")},
        {"two commas in a row: the second begins the second field, the third is found normally",
         "(Pair,,\\BIN\\QCC.EXE,\\BIN\r\n", item("Pair", ",\\BIN\\QCC.EXE", "\\BIN\\QCC.EXE")},
        {"an empty first field: the first and the second field are the same text",
         "(,\\Read Me First\\Getting Started.txt,\\Read Me First\r\n",
         item("\\Read Me First\\Getting Started.txt", "\\Read Me First\\Getting Started.txt", "\\Read Me First")},
        {"a blank before the \"(\": not an item line, copied unchanged", " (Not an item,\\BIN\\QCC.EXE,\\BIN\r\n",
         " (Not an item,\\BIN\\QCC.EXE,\\BIN\r\n"},
        {"double quotes in a field are written as they are", "(Say \"Hi\",\\BIN\\QCC.EXE,\\BIN\r\n",
         item("Say \"Hi\"", "\\BIN\\QCC.EXE", "\\BIN")},
        {"no third field stands as empty text", "(Two fields,\\LongFileName.hlp\r\n",
         item("Two fields", "\\LongFileName.hlp", "")},
        {"a name alone: the installation directory in every path", "(Only a name\r\n", item("Only a name", "", "")},
        {"the last line has no line end, and its converted line gets one", "(Last,\\Read Me First,\\Read Me First",
         item("Last", "\\Read Me First", "\\Read Me First")},
    };
  };
  WriteMedium(context.workDir, LongNamesKit());
  WriteBytes(context.workDir + "\\SHELLINK.DAT", ListOf(listRows()));
  Put(SetupIni(), Absent());
  ForgetConverter();
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  Give(run, ToEnvironmentPage(run, dir), Answer::No);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
  const std::vector<ListRow> rows = listRows();
  ExpectConvertedRows(rows, "the line cases");
  ExpectConverterRan(SW_SHOWNORMAL, SetupIniOf(rows), "the line cases");
}

// Item lines whose paths below a long installation directory would not fit
// are left out, the rest converted; one warning says so once SETUP.INI is
// complete, before the converter is started.
void ShortcutLinesTooLong(Context& context) {
  PrefixFilesKept kept;
  // A converted line passes 1023 characters within one read of the list
  // only below an installation directory of 128 characters or more. The
  // directory is spelled that long but names a short one, LONG in the
  // current directory: "." components, which the platform drops but which
  // count in every path the list gives, so that the kit's own paths stay
  // short.
  std::string dir;
  while (dir.size() < 196) dir += ".\\";
  dir += "LONG";
  // A field that makes a path of 259 characters, the most there is room for.
  const std::string field59 = "\\" + std::string(58, 'f');
  auto listRows = [&]() -> std::vector<ListRow> {
    return {
        {"a line before the long ones", "(Before,\\BIN\\QCC.EXE,\\BIN\r\n",
         Item(dir, "Before", "\\BIN\\QCC.EXE", "\\BIN")},
        {"paths of 259 characters are kept", "(At the limit," + field59 + "," + field59 + "\r\n",
         Item(dir, "At the limit", field59, field59)},
        {"a second path of 261 characters is left out", "(Second," + field59 + "xx,\\BIN\r\n", ""},
        {"a third path of 261 characters is left out", "(Third,\\BIN\\QCC.EXE," + field59 + "xx\r\n", ""},
        {"a converted line of 1091 characters is left out",
         "(" + std::string(300, 'n') + "," + field59 + "," + field59 + "\r\n", ""},
        {"a section line after them is copied", "[after]\r\n", "[after]\r\n"},
        {"a line after the long ones", "(After,\\Read Me First,\\Read Me First\r\n",
         Item(dir, "After", "\\Read Me First", "\\Read Me First")},
    };
  };
  Expect(dir.size() == 200 && (dir + field59).size() == 259, "the long directory is not as the rows need it");
  WriteMedium(context.workDir, LongNamesKit());
  WriteBytes(context.workDir + "\\SHELLINK.DAT", ListOf(listRows()));
  Put(SetupIni(), Absent());
  ForgetConverter();
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  Give(run, ToEnvironmentPage(run, dir), Answer::No);
  const MessageBoxView box = run.ExpectMessageBox("No on page 7 with lines too long");
  ExpectBox(box, "Warning", LINES_LEFT_OUT, BoxIcon::Warning);
  const std::vector<ListRow> rows = listRows();
  ExpectConvertedRows(rows, "SETUP.INI while the warning is shown");
  Expect(RunningConverters() == 0 && !IsFile(ConverterLog()),
         "the group converter was started before the warning was acknowledged");
  run.Acknowledge(box);
  ExpectCompletionNotice(run, sentinel, "OK on the warning");
  ExpectConverterRan(SW_SHOWNORMAL, SetupIniOf(rows), "lines too long");
}

// The failures of the shortcut step, each a run answered No: the fatal box
// and the converter never started, or for an empty list an empty SETUP.INI
// that the converter still gets.
void ShortcutFailures(Context& context) {
  PrefixFilesKept kept;
  const std::string list = context.workDir + "\\SHELLINK.DAT";
  const std::string known = "[earlier]\r\nleft by an earlier installation\r\n";
  struct {
    const char* why;
    FileState list;       // SHELLINK.DAT beside the program
    FileState iniBefore;  // SETUP.INI before the run
    bool noMemory;        // no memory to be had once page 7 shows
    const char* fatal;    // null for the completion notice
    FileState iniAfter;
  } cases[] = {
      {"an empty list", FileOf(""), FileOf(known), false, nullptr, FileOf("")},
      {"no list, with a SETUP.INI from before", Absent(), FileOf(known), false, LIST_MISSING, FileOf(known)},
      {"no list and no SETUP.INI", Absent(), Absent(), false, LIST_MISSING, Absent()},
      {"a directory where SETUP.INI must go", FileOf(SHORTCUT_LIST), Directory(), false, INI_UNWRITABLE, Directory()},
      {"no memory for a converted line", FileOf("[group0]\r\n(Compiler,\\BIN\\QCC.EXE,\\BIN\r\n[after]\r\n"),
       FileOf(known), true, OUT_OF_MEMORY, FileOf("[group0]\r\n")},
  };
  WriteMedium(context.workDir);
  for (const auto& c : cases) {
    Put(list, c.list);
    Put(SetupIni(), c.iniBefore);
    ForgetConverter();
    RepaintSentinel sentinel;
    SetupRun run(context.setupExe, SW_SHOWNORMAL);
    HWND page = ToEnvironmentPage(run, KitDir(context));
    if (c.noMemory) FailImport(run.Process(), "msvcrt.dll", "malloc", 0, 0);
    Give(run, page, Answer::No);
    if (c.fatal == nullptr) {
      ExpectCompletionNotice(run, sentinel, std::string("No on page 7 with ") + c.why);
      ExpectConverterRan(SW_SHOWNORMAL, c.iniAfter.bytes, c.why);
    } else {
      ExpectFatal(run, sentinel, std::string("No on page 7 with ") + c.why, c.fatal);
      ExpectConverterNotStarted(c.why);
    }
    ExpectState(SetupIni(), c.iniAfter, c.why);
  }
}

// A system without a group converter, as Windows Vista and later are: the
// stand-in is moved out of the Windows directory for the run, and back
// after it.
class ConverterAway {
 public:
  ConverterAway() : path_(InWindows("grpconv.exe")), away_(path_ + ".away") {
    Expect(MoveFileA(path_.c_str(), away_.c_str()) != 0, "cannot move the group converter %s aside (error %lu)",
           path_.c_str(), GetLastError());
  }
  ~ConverterAway() { MoveFileA(away_.c_str(), path_.c_str()); }
  ConverterAway(const ConverterAway&) = delete;
  ConverterAway& operator=(const ConverterAway&) = delete;

 private:
  std::string path_, away_;
};

// No converter to start: SETUP.INI is written whole, and a warning says
// that no shortcuts were made before the completion notice.
void NoGroupConverter(Context& context) {
  PrefixFilesKept kept;
  WriteMedium(context.workDir);
  Put(SetupIni(), FileOf("[earlier]\r\nleft by an earlier installation\r\n"));
  ForgetConverter();
  ConverterAway away;
  // Where the program's start of a bare name looks: its own folder, the
  // current one, the system folders and the search path.
  char system[MAX_PATH] = "";
  GetSystemDirectoryA(system, MAX_PATH);
  const char* pathVariable = std::getenv("PATH");
  const std::string places = context.setupExe.substr(0, context.setupExe.find_last_of('\\')) + ";" + context.workDir +
                             ";" + system + ";" + WindowsDirectory() + ";" + (pathVariable ? pathVariable : "");
  char found[MAX_PATH];
  Expect(SearchPathA(places.c_str(), "grpconv.exe", nullptr, MAX_PATH, found, nullptr) == 0,
         "a group converter is still where the program would find it, at %s: the scenario needs a system without one",
         found);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  Give(run, ToEnvironmentPage(run, KitDir(context)), Answer::No);
  const MessageBoxView box = run.ExpectMessageBox("No on page 7, with no group converter");
  ExpectBox(box, "Warning", "The shortcuts were not created: the group converter (grpconv) could not be started.",
            BoxIcon::Warning);
  ExpectState(SetupIni(), FileOf(SHORTCUT_LIST), "SETUP.INI when the warning shows");
  run.Acknowledge(box);
  ExpectCompletionNotice(run, sentinel, "OK on the warning");
  ExpectConverterNotStarted("no group converter");
}

// ---- the scenarios: compiler settings ------------------------------------

// Runs answered Yes over every kind of AUTOEXEC.BAT: what it and its backup
// hold afterwards, and the warning where the lines could not be added. The
// shortcuts come after the settings in every case.
void BatchFileCases(Context& context) {
  PrefixFilesKept kept;
  const std::string text = "@ECHO OFF\r\nPATH C:\\DOS\r\n";
  const std::string dir = KitDir(context);
  const std::string percentDir = context.workDir + "\\KIT%PATH%%d";
  struct {
    const char* why;
    FileState batch, backup;  // before the run
    std::string installDir;
    const char* warning;  // the end of the warning's text; null for none
    FileState batchAfter, backupAfter;
  } cases[] = {
      {"no AUTOEXEC.BAT: no backup, and a new one with the three lines", Absent(), Absent(), dir, nullptr,
       FileOf(SettingsLines(dir)), Absent()},
      {"an AUTOEXEC.BAT: backed up byte for byte, the lines appended", FileOf(text), Absent(), dir, nullptr,
       FileOf(text + SettingsLines(dir)), FileOf(text)},
      {"an older AUTOEXEC.QVB is replaced", FileOf(text),
       FileOf("REM an older backup, longer than the batch file it stands for\r\n"), dir, nullptr,
       FileOf(text + SettingsLines(dir)), FileOf(text)},
      {"an empty AUTOEXEC.BAT: the lines alone, no line end first", FileOf(""), Absent(), dir, nullptr,
       FileOf(SettingsLines(dir)), FileOf("")},
      {"no final line end: CR LF first", FileOf("@ECHO OFF\r\nPATH C:\\DOS"), Absent(), dir, nullptr,
       FileOf("@ECHO OFF\r\nPATH C:\\DOS\r\n" + SettingsLines(dir)), FileOf("@ECHO OFF\r\nPATH C:\\DOS")},
      {"a final Ctrl+Z is cut off, the backup keeps it", FileOf(text + "\x1A"), Absent(), dir, nullptr,
       FileOf(text + SettingsLines(dir)), FileOf(text + "\x1A")},
      {"Ctrl+Z marks straight after the text: cut off, and CR LF first", FileOf("PATH C:\\DOS\x1A\x1A\x1A"), Absent(),
       dir, nullptr, FileOf("PATH C:\\DOS\r\n" + SettingsLines(dir)), FileOf("PATH C:\\DOS\x1A\x1A\x1A")},
      {"text after a Ctrl+Z: nothing appended", FileOf(text + "\x1ASET QV=1\r\n"), Absent(), dir,
       "holds text after its end-of-file mark.", FileOf(text + "\x1ASET QV=1\r\n"), FileOf(text + "\x1ASET QV=1\r\n")},
      {"a directory named AUTOEXEC.BAT: nothing appended, no backup", Directory(), Absent(), dir, "cannot be written.",
       Directory(), Absent()},
      {"a percent sign in the installation directory is written as it is", FileOf(text), Absent(), percentDir, nullptr,
       FileOf(text + SettingsLines(percentDir)), FileOf(text)},
  };
  WriteMedium(context.workDir);
  const std::string marker = "[marker]\r\nnot yet converted\r\n";
  for (const auto& c : cases) {
    Put(BatchPath(), c.batch);
    Put(BackupPath(), c.backup);
    Put(SetupIni(), FileOf(marker));
    RunAnsweredYes(context, c.installDir, c.warning ? NotSet(c.warning) : "", [&] {
      ExpectState(SetupIni(), FileOf(marker), std::string(c.why) + ": the shortcuts were made before the warning");
    });
    ExpectState(BatchPath(), c.batchAfter, c.why);
    ExpectState(BackupPath(), c.backupAfter, c.why);
    ExpectState(SetupIni(), FileOf(SHORTCUT_LIST), std::string(c.why) + ": the shortcuts after the settings");
  }
  RemoveTree(percentDir);

  // Each run answered Yes appends the lines again; the backup holds the
  // file as the second run found it.
  const std::string second = context.workDir + "\\SECOND";
  Put(BatchPath(), FileOf(text));
  Put(BackupPath(), Absent());
  RunAnsweredYes(context, dir, "");
  RunAnsweredYes(context, second, "");
  ExpectState(BatchPath(), FileOf(text + SettingsLines(dir) + SettingsLines(second)), "after two runs answered Yes");
  ExpectState(BackupPath(), FileOf(text + SettingsLines(dir)), "after two runs answered Yes");
}

// AUTOEXEC.BAT on a read-only mount, which its script puts in place: the
// warning, the file as it was, a backup identical to it, and the shortcuts
// made after all.
void ReadOnlyBatchFile(Context& context) {
  PrefixFilesKept kept;
  const FileState batch = StateOf(BatchPath());
  HANDLE probe = CreateFileA(BatchPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
  Expect(batch.kind == FileState::File && !batch.bytes.empty() && probe == INVALID_HANDLE_VALUE,
         "%s is not a read-only file: this scenario runs only through with-read-only-autoexec.sh, which mounts it",
         BatchPath().c_str());
  WriteMedium(context.workDir);
  Put(BackupPath(), FileOf("REM an older backup\r\n"));
  Put(SetupIni(), Absent());
  RunAnsweredYes(context, KitDir(context), NotSet("cannot be written."));
  ExpectState(BatchPath(), batch, "a read-only AUTOEXEC.BAT");
  ExpectState(BackupPath(), batch, "the backup of a read-only AUTOEXEC.BAT");
  ExpectState(SetupIni(), FileOf(SHORTCUT_LIST), "the shortcuts after the warning");
}

// ---- the scenarios: from the kit's CD -----------------------------------

const char CD_DRIVE[] = "D:\\";
const char CD_SETUP[] = "D:\\SETUP.EXE";

// The shortcut list on the CD and what it converts to below the directory.
std::vector<ListRow> CdShortcutRows(const std::string& dir) {
  return {
      {"the groups and the group's header", "[progman.groups]\r\ngroup0=Quenvar 98\r\n[group0]\r\n",
       "[progman.groups]\r\ngroup0=Quenvar 98\r\n[group0]\r\n"},
      {"a shortcut to a file", "(Quenvar 98 Read Me,\\DOC\\README.TXT,\\DOC\r\n",
       Item(dir, "Quenvar 98 Read Me", "\\DOC\\README.TXT", "\\DOC")},
      {"a shortcut to a directory", "(Quenvar 98 Headers,\\INCLUDE,\\INCLUDE\r\n",
       Item(dir, "Quenvar 98 Headers", "\\INCLUDE", "\\INCLUDE")},
  };
}

// Drive D: is a CD-ROM drive that holds the image of the kit, read-only, with
// the program under test on it. Its script, with-cd-drive.sh, mounts it.
void ExpectTheCdInDriveD(const Context& context) {
  const UINT type = GetDriveTypeA(CD_DRIVE);
  Expect(type == DRIVE_CDROM,
         "drive D: is of type %u, not a CD-ROM drive (%u): this scenario runs only through with-cd-drive.sh, in a "
         "session that made D: a CD-ROM drive",
         type, DRIVE_CDROM);
  const std::string probe = std::string(CD_DRIVE) + "WRITE.TST";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    DeleteFileA(probe.c_str());
  }
  Expect(file == INVALID_HANDLE_VALUE, "drive D: takes a new file: the CD is not mounted read-only");
  // Readers of the image may spell its names in either case.
  std::string names;
  for (const TreeItem& item : ReadTree(CD_DRIVE)) {
    std::string name = item.path;
    CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
    names += " " + name;
  }
  Expect(names == " DATA.CMP LICENSE.TXT README.TXT SETUP.EXE SHELLINK.DAT", "drive D: holds%s", names.c_str());
  Expect(ReadBytes(CD_SETUP) == ReadBytes(context.setupExe), "D:\\SETUP.EXE is not the program under test");
}

// The road a user takes with the kit's CD: SETUP.EXE started from drive D:
// with D:\ as its current directory, the documents shown from the CD, the
// kit installed from it, Yes on page 7: the tree, SETUP.INI and AUTOEXEC.BAT
// as from any medium.
void InstallFromTheCd(Context& context) {
  ExpectTheCdInDriveD(context);
  PrefixFilesKept kept;
  const std::string dir = KitDir(context);
  const std::string batch = "@ECHO OFF\r\nPATH C:\\DOS\r\n";
  Put(BatchPath(), FileOf(batch));
  Put(BackupPath(), Absent());
  Put(SetupIni(), Absent());
  ForgetConverter();
  RepaintSentinel sentinel;
  SetupRun run(CD_SETUP, SW_SHOWNORMAL, CD_DRIVE);
  HWND page =
      WalkShowingDocuments(run, LICENSE_TEXT, "LICENSE.TXT on the CD", README_TEXT, "README.TXT on the CD", dir);
  ExpectInstalledTree(dir, SmallKit(), "installed from the CD");
  Give(run, page, Answer::Yes);
  ExpectCompletionNotice(run, sentinel, "Yes on page 7");
  const std::vector<ListRow> rows = CdShortcutRows(dir);
  ExpectConvertedRows(rows, "installed from the CD");
  ExpectConverterRan(SW_SHOWNORMAL, SetupIniOf(rows), "installed from the CD");
  ExpectState(BatchPath(), FileOf(batch + SettingsLines(dir)), "installed from the CD");
  ExpectState(BackupPath(), FileOf(batch), "installed from the CD");
}

// SETUP.EXE started from the CD with another current directory, as from a
// shortcut or another drive's prompt: the documents are looked up in the
// current directory, not beside the program, so the run stops on page 1 with
// the fatal error, and writes nothing.
void CdWithAnotherCurrentDirectory(Context& context) {
  ExpectTheCdInDriveD(context);
  RemoveTree(DEFAULT_DIR);
  RepaintSentinel sentinel;
  SetupRun run(CD_SETUP, SW_SHOWNORMAL, context.workDir);
  HWND page = run.ExpectPage(101, "the start from the CD in " + context.workDir);
  run.Click(page, NEXT);
  ExpectFatal(run, sentinel, "Next on page 1 with the documents on the CD only", "Unable to locate required text file");
  Expect(IsEmptyDirectory(context.workDir), "the run wrote into its current directory %s", context.workDir.c_str());
  Expect(!IsDirectory(DEFAULT_DIR), "the run made %s", DEFAULT_DIR);
}

}  // namespace

const std::vector<Scenario>& IntegrationScenarios() {
  static const std::vector<Scenario> scenarios = {
      {"shortcuts-every-answer", ShortcutsForEveryAnswer},
      {"shortcut-lines", ShortcutLineCases},
      {"shortcut-lines-too-long", ShortcutLinesTooLong},
      {"shortcut-failures", ShortcutFailures},
      {"no-group-converter", NoGroupConverter},
      {"autoexec-cases", BatchFileCases},
      {"autoexec-read-only", ReadOnlyBatchFile},
      {"cd-install", InstallFromTheCd},
      {"cd-other-directory", CdWithAnotherCurrentDirectory},
  };
  return scenarios;
}

// The kit folder that with-cd-drive.sh makes the CD image of: the kit of the
// CD scenarios, with the documents and the shortcut list, in the directory
// given in the pictures' place.
void WriteCdKit(Context& context) {
  const std::string kit = context.picturesDir;
  RemoveTree(kit);
  Expect(CreateDirectoryA(kit.c_str(), nullptr) != FALSE, "cannot create the kit folder %s", kit.c_str());
  WriteDocuments(kit);
  WriteBytes(kit + "\\SHELLINK.DAT", ListOf(CdShortcutRows("")));
  for (const KitFile& file : SmallKit()) {
    const std::string path = kit + "\\files\\" + file.name;
    for (std::size_t at = path.find('\\', kit.size() + 1); at != std::string::npos; at = path.find('\\', at + 1))
      CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    WriteBytes(path, file.data);
  }
  std::printf("the CD's kit is in %s\n", kit.c_str());
}
