#include "integration/Environment.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "base/Format.h"
#include "base/Scoped.h"
#include "base/WizardState.h"
#include "integration/BatchFile.h"

namespace {

constexpr char BATCH_NAME[] = "AUTOEXEC.BAT";
constexpr char BACKUP_NAME[] = "AUTOEXEC.QVB";

const char CANNOT_WRITE_TEXT[] = "The environment variables were not set: %s cannot be written.";
const char TEXT_AFTER_MARK_TEXT[] = "The environment variables were not set: %s holds text after its end-of-file mark.";

// The user answered Yes: a batch file left as it was must not pass for one
// that was extended. The installation goes on after the box.
void WarnNotSet(const char* format, const char* batchPath) {
  char text[PATH_BUFFER + 128];
  FormatText(text, sizeof text, format, batchPath);
  MessageBoxA(nullptr, text, "Warning", MB_OK | MB_ICONWARNING);
}

// Cuts the file at path to length bytes; false when it cannot be opened for
// writing or cut.
bool CutFile(const char* path, std::uint64_t length) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // The low half is returned and may read as the error value: only the
  // last error tells a failure from a position of 0xFFFFFFFF.
  LONG high = static_cast<LONG>(length >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(file, static_cast<LONG>(length & 0xFFFFFFFFu), &high, FILE_BEGIN);
  const bool moved = low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
  const bool cut = moved && SetEndOfFile(file);
  const bool closed = CloseHandle(file) != 0;
  return cut && closed;
}

}  // namespace

void SetCompilerEnvironment() {
  char windows[PATH_BUFFER];
  const UINT got = GetWindowsDirectoryA(windows, sizeof windows);
  if (got == 0 || got >= sizeof windows) {
    // No drive to name the batch file by.
    WarnNotSet(CANNOT_WRITE_TEXT, BATCH_NAME);
    return;
  }
  // The drive letter is taken as it is; both names fit any buffer.
  char batchPath[PATH_BUFFER];
  char backupPath[PATH_BUFFER];
  FormatText(batchPath, sizeof batchPath, "%c:\\%s", windows[0], BATCH_NAME);
  FormatText(backupPath, sizeof backupPath, "%c:\\%s", windows[0], BACKUP_NAME);

  // The backup holds the batch file as it stood before this run, byte for
  // byte. Its result is not looked at: without a batch file there is simply
  // no backup.
  CopyFileA(batchPath, backupPath, FALSE);

  const BatchFileEnd end = InspectBatchFile(batchPath);
  if (end.textAfterMark) {
    WarnNotSet(TEXT_AFTER_MARK_TEXT, batchPath);
    return;
  }
  // The end-of-file mark goes first, or the interpreter would stop before
  // the new lines.
  if (end.keepLength < end.length && !CutFile(batchPath, end.keepLength)) {
    WarnNotSet(CANNOT_WRITE_TEXT, batchPath);
    return;
  }

  const bool existed = GetFileAttributesA(batchPath) != INVALID_FILE_ATTRIBUTES;
  FileHandle batch(std::fopen(batchPath, "at"));
  if (!batch) {
    WarnNotSet(CANNOT_WRITE_TEXT, batchPath);
    return;
  }
  const bool written = WriteCompilerSettings(batch.get(), InstallDir, end.needsLineEnd);
  // The last buffered bytes go out at the close, so its failure is a failed write.
  const bool closed = std::fclose(batch.release()) == 0;
  if (written && closed) return;

  // A write that failed part way (a full disk) leaves no half of the
  // settings behind: the file goes back to what it held before the append,
  // or away again if this run created it.
  if (!existed) {
    DeleteFileA(batchPath);
  } else if (end.read) {
    CutFile(batchPath, end.keepLength);
  }
  WarnNotSet(CANNOT_WRITE_TEXT, batchPath);
}
