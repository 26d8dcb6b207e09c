// verify: an archive, a compressed payload or a medium folder checked for
// everything setup relies on.
#include <cinttypes>
#include <cstdio>
#include <system_error>

#include "kit/ArchiveSource.h"
#include "kit/CommandOutput.h"
#include "kit/KitCommands.h"
#include "kit/MediumTexts.h"
#include "kit/PathDisplay.h"

namespace fs = std::filesystem;

namespace {

// A medium folder: its payload verified as verify does it for the file, the
// texts that setup reads beside it present, and its shortcut list checked
// against the payload's entries.
int VerifyMedium(const fs::path& medium, const CodePage& codePage) {
  ArchiveSource source;
  LibraryCheck check;
  if (!OpenAndVerify(medium / MEDIUM_PAYLOAD, codePage, source, check)) return 1;
  MediumTexts texts;
  std::string error;
  if (!ReadMediumTexts(medium, nullptr, texts, error)) return Fail(error);
  std::size_t shortcuts = 0;
  if (!ShortcutListHolds(medium / MEDIUM_TEXT_FILES[MEDIUM_SHORTCUT_LIST], texts.bytes[MEDIUM_SHORTCUT_LIST],
                         check.names, codePage, shortcuts)) {
    return 1;
  }
  std::printf("%s: medium, %zu entries, %" PRIu64 " data bytes, %zu shortcuts: OK\n", DisplayPath(medium).c_str(),
              check.entries, check.dataBytes, shortcuts);
  return 0;
}

}  // namespace

int VerifyCommand(const fs::path& file, const CodePage& codePage) {
  std::error_code code;
  if (fs::is_directory(file, code)) return VerifyMedium(file, codePage);
  ArchiveSource source;
  LibraryCheck check;
  if (!OpenAndVerify(file, codePage, source, check)) return 1;
  std::printf("%s: %s%zu entries, %" PRIu64 " data bytes: OK\n", DisplayPath(file).c_str(),
              source.Compressed() ? "compressed payload, " : "", check.entries, check.dataBytes);
  return 0;
}
