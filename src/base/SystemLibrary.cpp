#include "base/SystemLibrary.h"

#include "base/Fatal.h"
#include "base/Format.h"

namespace {

// Long enough for either message with any of the program's DLL and function
// names.
constexpr int MESSAGE_BUFFER = 128;

[[noreturn]] void MissingLibrary(const char* library) {
  char message[MESSAGE_BUFFER];
  FormatText(message, sizeof message, FATAL_SYSTEM_LIBRARY, library);
  ReportFatal(message);
}

// The DLL by its full path in the system directory, or null.
HMODULE LoadFromSystemDirectory(const char* library) {
  char directory[MAX_PATH];
  const UINT length = GetSystemDirectoryA(directory, sizeof directory);
  if (length == 0 || length >= sizeof directory) return nullptr;
  char path[MAX_PATH];
  if (!FormatText(path, sizeof path, "%s\\%s", directory, library)) return nullptr;
  return LoadLibraryA(path);
}

}  // namespace

void RestrictLibrarySearch() {
  using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
  using SetDirectory = BOOL(WINAPI*)(LPCSTR);
  // kernel32 is among the program's static imports, so it is loaded.
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return;
  // Windows 8, and 7 and Vista with their update of 2011.
  const auto setDefault = FunctionAs<SetDefaultDirectories>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // XP SP1 and later: an empty directory takes the current one out of the
  // search; the program's own folder stays first, which nothing but the
  // call above can change.
  const auto setDirectory = FunctionAs<SetDirectory>(GetProcAddress(kernel, "SetDllDirectoryA"));
  if (setDirectory != nullptr) setDirectory("");
}

FARPROC SystemFunction(const char* library, const char* function) {
  // A DLL that is already loaded is only counted once more: each of the
  // program's DLLs is asked for a handful of functions in its whole run.
  HMODULE module = LoadFromSystemDirectory(library);
  if (module == nullptr) MissingLibrary(library);
  FARPROC address = GetProcAddress(module, function);
  if (address == nullptr) {
    char message[MESSAGE_BUFFER];
    FormatText(message, sizeof message, FATAL_SYSTEM_FUNCTION, function, library);
    ReportFatal(message);
  }
  return address;
}
