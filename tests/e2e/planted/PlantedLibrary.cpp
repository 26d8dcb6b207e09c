// A DLL that only tells that it was loaded. The planted-DLL scenario lays it
// beside SETUP.EXE under the names of system DLLs, the way a file dropped
// into a download folder would lie there. When a process loads it, it
// appends a line to a file named as the DLL with ".loaded" added, in the
// DLL's own folder: "static" when the system loaded it for an import, as
// the process started, or "dynamic" when a LoadLibrary call did, then a
// space and the path of the process's program. It does nothing else, and
// its load succeeds, as a planted DLL's would.
#include <windows.h>

namespace {

void LeaveMark(HINSTANCE self, bool atStart) {
  char mark[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(self, mark, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcpyA(mark + length, ".loaded");
  char line[MAX_PATH + 16];
  lstrcpyA(line, atStart ? "static " : "dynamic ");
  DWORD lineLength = lstrlenA(line);
  const DWORD programLength = GetModuleFileNameA(nullptr, line + lineLength, MAX_PATH);
  if (programLength < MAX_PATH) lineLength += programLength;
  line[lineLength++] = '\r';
  line[lineLength++] = '\n';
  HANDLE file = CreateFileA(mark, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, lineLength, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

// The system tells the two kinds of load apart by the third argument: not
// null for a load at the start of the process, null for LoadLibrary.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(instance, reserved != nullptr);
  return TRUE;
}
