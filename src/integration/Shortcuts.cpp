#include "integration/Shortcuts.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "base/Entry.h"
#include "base/Fatal.h"
#include "base/Format.h"
#include "base/Scoped.h"
#include "base/WizardState.h"
#include "integration/ShortcutList.h"

namespace {

constexpr char LIST_NAME[] = "SHELLINK.DAT";
constexpr char INI_NAME[] = "SETUP.INI";
constexpr char CONVERTER_COMMAND[] = "grpconv -o";

const char LEFT_OUT_TEXT[] =
    "Some shortcuts were not created: their paths below the installation directory are too long.";
const char NO_CONVERTER_TEXT[] = "The shortcuts were not created: the group converter (grpconv) could not be started.";

// The platform's short form of an existing path. A path that does not exist
// has none, and a short form that would not fit the buffer counts as none:
// the platform then reports the size it needs and leaves the buffer as it is.
bool PlatformShortPath(const char* path, char* shortPath, std::size_t size) {
  const DWORD got = GetShortPathNameA(path, shortPath, static_cast<DWORD>(size));
  return got != 0 && got < size;
}

// The path of "SETUP.INI" in the Windows directory, false when the platform
// gives no directory or the path does not fit.
bool IniPath(char (&path)[PATH_BUFFER]) {
  char windows[PATH_BUFFER];
  const UINT got = GetWindowsDirectoryA(windows, sizeof windows);
  if (got == 0 || got >= sizeof windows) return false;
  return FormatText(path, sizeof path, "%s\\%s", windows, INI_NAME);
}

}  // namespace

void CreateShortcuts() {
  FileHandle list(std::fopen(LIST_NAME, "rt"));
  if (!list) ReportFatal(FATAL_SHORTCUT_LIST);

  char iniPath[PATH_BUFFER];
  if (!IniPath(iniPath)) ReportFatal(FATAL_SHORTCUT_INI);
  FileHandle ini(std::fopen(iniPath, "wt"));
  if (!ini) ReportFatal(FATAL_SHORTCUT_INI);

  std::size_t leftOut = 0;
  switch (CopyShortcutList(list.get(), ini.get(), InstallDir, PlatformShortPath, leftOut)) {
    case ListCopy::Done: break;
    case ListCopy::ReadFailed: ReportFatal(FATAL_SHORTCUT_LIST);
    case ListCopy::WriteFailed: ReportFatal(FATAL_SHORTCUT_INI);
    case ListCopy::OutOfMemory: ReportFatal(FATAL_OUT_OF_MEMORY);
  }

  // The converter must find the file complete: a write that only the close
  // reveals (a full disk) counts like any other, and the converter is not
  // started on what was written.
  std::fclose(list.release());
  if (std::fclose(ini.release()) != 0) ReportFatal(FATAL_SHORTCUT_INI);

  if (leftOut > 0) MessageBoxA(nullptr, LEFT_OUT_TEXT, "Warning", MB_OK | MB_ICONWARNING);

  // Not waited for: the converter is the platform's, and its work is its
  // own. But a system without one (Windows Vista and later have none) must
  // not let the completion notice pass for shortcuts that were never made.
  // WinExec reports a failure to start as a value of 31 or less.
  if (WinExec(CONVERTER_COMMAND, static_cast<UINT>(ShowCommand)) <= 31) {
    MessageBoxA(nullptr, NO_CONVERTER_TEXT, "Warning", MB_OK | MB_ICONWARNING);
  }
}
