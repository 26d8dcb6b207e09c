// Where SETUP.EXE takes its code from: DLLs planted beside it under the names
// of system DLLs are never loaded, and a system DLL or function that cannot
// be had ends the run with a message naming it.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "Inject.h"
#include "ScenarioKit.h"
#include "Scenarios.h"

namespace {

// The DLLs planted beside the program, as their names are spelt on disk:
// those that Windows does not protect as known DLLs and that SETUP.EXE's
// process loads after its start under Wine, for the program itself (the LZ
// library, the common controls) or for the system's own windows (the theme
// library). VERSION.DLL is not among them, although Windows does not
// protect it either: Wine's own user32 imports it, so with Wine's load order
// set as Windows searches, Wine would take the planted copy as it loads
// user32, before any code of the program runs, where Windows takes a known
// DLL's imports from the system directory.
const char* const PLANTED[] = {"LZ32.DLL", "COMCTL32.DLL", "UXTHEME.DLL"};

// What the planted DLL appends to its mark file: see planted/PlantedLibrary.cpp.
constexpr char MARK_SUFFIX[] = ".loaded";

// Wine's load order for one program, by the program's file name, for the
// scenario's length. It is read when a process of that name starts.
class ProgramLoadOrder {
 public:
  // Pairs of a DLL's name without its extension and its order:
  // "native,builtin" takes a file from the program's folder first, as
  // Windows does for a DLL it does not protect; "" makes the DLL missing.
  ProgramLoadOrder(const std::string& program, const std::vector<std::pair<std::string, std::string>>& orders)
      : program_("Software\\Wine\\AppDefaults\\" + program) {
    Remove();  // what a driver that was stopped half way may have left
    HKEY key = nullptr;
    const std::string path = program_ + "\\DllOverrides";
    Expect(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
               ERROR_SUCCESS,
           "cannot create the load order HKCU\\%s", path.c_str());
    for (const auto& [dll, order] : orders) {
      const LSTATUS set = RegSetValueExA(key, dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order.c_str()),
                                         static_cast<DWORD>(order.size() + 1));
      if (set != ERROR_SUCCESS) {
        RegCloseKey(key);
        Fail("cannot set the load order of %s in HKCU\\%s", dll.c_str(), path.c_str());
      }
    }
    RegCloseKey(key);
  }
  ~ProgramLoadOrder() { Remove(); }
  ProgramLoadOrder(const ProgramLoadOrder&) = delete;
  ProgramLoadOrder& operator=(const ProgramLoadOrder&) = delete;

 private:
  void Remove() {
    RegDeleteKeyA(HKEY_CURRENT_USER, (program_ + "\\DllOverrides").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, program_.c_str());
  }
  std::string program_;
};

// The planted DLLs' names as the load order spells them: without ".DLL".
std::vector<std::pair<std::string, std::string>> NativeFirst() {
  std::vector<std::pair<std::string, std::string>> orders;
  for (const char* dll : PLANTED) {
    const std::string name = dll;
    orders.emplace_back(name.substr(0, name.find('.')), "native,builtin");
  }
  return orders;
}

// A folder holding the program under the name SETUP.EXE and a copy of the
// planted DLL under each planted name.
void LayOut(const std::string& dir, const std::string& program) {
  Expect(CreateDirectoryA(dir.c_str(), nullptr) != FALSE, "cannot create %s", dir.c_str());
  Expect(CopyFileA(program.c_str(), (dir + "\\SETUP.EXE").c_str(), FALSE) != FALSE, "cannot copy %s into %s",
         program.c_str(), dir.c_str());
  const std::string planted = BesideTheDriver("planted.dll");
  for (const char* dll : PLANTED)
    Expect(CopyFileA(planted.c_str(), (dir + "\\" + dll).c_str(), FALSE) != FALSE, "cannot plant %s in %s", dll,
           dir.c_str());
}

// Every mark in the folder, "NAME.loaded: its lines", whatever the case of
// the name the DLL was loaded by.
std::vector<std::string> Marks(const std::string& dir) {
  std::vector<std::string> marks;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*" + MARK_SUFFIX).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return marks;
  do {
    marks.push_back(std::string(found.cFileName) + ": " + Printable(ReadBytes(dir + "\\" + found.cFileName)));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return marks;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

// The control: a program that imports each planted DLL by name, as
// SETUP.EXE, under the same load order, must load every one of them from its
// folder. Otherwise the planted DLLs or the load order do not work, and
// finding no mark after SETUP.EXE's run would prove nothing.
void ExpectAnImporterLoadsThem(const std::string& dir) {
  LayOut(dir, BesideTheDriver("static_importer.exe"));
  {
    SetupRun control(dir + "\\SETUP.EXE", SW_SHOWNORMAL, dir);
    const DWORD code = control.ExpectExit("the start of the control that imports the planted DLLs");
    Expect(code == 0, "the control that imports the planted DLLs ended with exit code %lu", code);
  }
  for (const char* dll : PLANTED) {
    const std::string mark = dir + "\\" + dll + MARK_SUFFIX;
    Expect(IsFile(mark) && ReadBytes(mark).find(dir + "\\SETUP.EXE") != std::string::npos,
           "a program that imports %s by name did not load the copy planted beside it, under the same load order: "
           "the scenario cannot show that SETUP.EXE does not (marks:%s)",
           dll, Joined(Marks(dir)).c_str());
  }
}

void ExpectNoMarks(const std::string& dir, const char* when) {
  const std::vector<std::string> marks = Marks(dir);
  Expect(marks.empty(), "%s, DLLs planted beside SETUP.EXE were loaded into it:%s", when, Joined(marks).c_str());
}

// A kit folder as a user downloads it, with DLLs planted beside SETUP.EXE
// and Wine told to search the program's folder first, as Windows does: a
// whole installation from it loads none of them.
void PlantedLibrariesAreNotLoaded(Context& context) {
  ProgramLoadOrder order("SETUP.EXE", NativeFirst());
  ExpectAnImporterLoadsThem(context.workDir + "\\CONTROL");

  const std::string download = context.workDir + "\\DOWNLOAD";
  LayOut(download, context.setupExe);
  WriteMedium(download);
  try {
    RepaintSentinel sentinel;
    SetupRun run(download + "\\SETUP.EXE", SW_SHOWNORMAL, download);
    HWND page = WalkTo(run, 105, KitDir(context));
    page = ThroughInstallStep(run, page, context, false);
    run.Click(page, NEXT);
    ExpectCompletionNotice(run, sentinel, "Yes on page 7");
  } catch (const Failure&) {
    // A planted DLL is the likelier cause of a run that went wrong.
    ExpectNoMarks(download, "in a run that failed");
    throw;
  }
  ExpectNoMarks(download, "after a whole installation");
  ExpectInstalledTree(KitDir(context), SmallKit(), "after the installation from the download folder");
}

// A system DLL that cannot be loaded, or that lacks a function, ends the run
// with a message naming it: the common controls at the start, the LZ
// library when the expansion begins. A DLL is made missing by Wine's load
// order for a copy of the program under a name of its own, which leaves
// every other run of SETUP.EXE alone; a missing function by making the
// program's GetProcAddress fail.
void MissingSystemLibraries(Context& context) {
  struct Case {
    const char* what;
    const char* missingDll;  // by Wine's load order; null for none
    bool noFunctions;        // GetProcAddress fails from page 5 on
    bool atStart;            // the run ends before page 1, else after Next on page 5
    const char* message;
  };
  const Case cases[] = {
      {"without the common controls", "comctl32", false, true, "Cannot load system library COMCTL32.DLL"},
      {"without the LZ library", "lz32", false, false, "Cannot load system library LZ32.DLL"},
      {"without the LZ library's functions", nullptr, true, false, "Cannot find LZInit in system library LZ32.DLL"},
  };
  WriteMedium(context.workDir);
  const std::string program = context.workDir + "\\NOLIB.EXE";
  Expect(CopyFileA(context.setupExe.c_str(), program.c_str(), FALSE) != FALSE, "cannot copy SETUP.EXE as NOLIB.EXE");
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, std::string>> orders;
    if (c.missingDll) orders.emplace_back(c.missingDll, "");
    ProgramLoadOrder order("NOLIB.EXE", orders);
    RepaintSentinel sentinel;
    SetupRun run(program, SW_SHOWNORMAL);
    if (c.atStart) {
      ExpectFatal(run, sentinel, std::string("the start ") + c.what, c.message);
      continue;
    }
    HWND page = WalkTo(run, 105, KitDir(context));
    if (c.noFunctions) FailImport(run.Process(), "kernel32.dll", "GetProcAddress", 0, 2);
    run.Click(page, NEXT);
    ExpectFatal(run, sentinel, std::string("Next on page 5 ") + c.what, c.message);
  }
}

}  // namespace

const std::vector<Scenario>& LibraryScenarios() {
  static const std::vector<Scenario> scenarios = {
      {"planted-libraries", PlantedLibrariesAreNotLoaded},
      {"missing-system-libraries", MissingSystemLibraries},
  };
  return scenarios;
}
