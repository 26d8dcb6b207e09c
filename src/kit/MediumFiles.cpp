#include "kit/MediumFiles.h"

#include <cstdio>
#include <system_error>

#include "base/Scoped.h"
#include "kit/CommandOutput.h"
#include "kit/KitFiles.h"
#include "kit/KitStep.h"
#include "kit/PathDisplay.h"
#include "kit/ProgressBar.h"
#include "kit/SystemIo.h"
#include "kit/szdd/SzddEncoder.h"
#include "payload/LibraryFormat.h"

namespace fs = std::filesystem;

namespace {

// The tree, walked and checked with the shortcut list against it: a wrong
// shortcut is found here rather than on a user's machine.
bool CollectKit(const fs::path& kit, const MediumTexts& texts, const CodePage& codePage, std::vector<TreeFile>& files) {
  std::vector<std::string> problems, notes;
  const bool collected = CollectTree(kit / "files", codePage, files, problems, notes);
  for (const std::string& note : notes) Note(note);
  if (!collected) {
    FailWithProblems("", problems);
    return false;
  }
  std::vector<std::string> names;
  for (const TreeFile& file : files) names.push_back(file.name);
  std::size_t shortcuts = 0;
  return ShortcutListHolds(kit / MEDIUM_TEXT_FILES[MEDIUM_SHORTCUT_LIST], texts.bytes[MEDIUM_SHORTCUT_LIST], names,
                           codePage, shortcuts);
}

// A named setup program must be a Windows program: every one starts with the
// DOS header's signature, and a file that does not would give a medium that
// cannot start.
bool SetupProgramHolds(const fs::path& file) {
  std::error_code code;
  if (!fs::is_regular_file(file, code)) {
    return Refuse(DisplayPath(file) + (fs::exists(file, code) ? ": not a regular file" : ": no such file"));
  }
  unsigned char start[2] = {};
  FileHandle input(OpenForReading(file));
  if (!input) return Refuse(DisplayPath(file) + ": cannot open: " + SystemError());
  const bool read = std::fread(start, 1, sizeof start, input.get()) == sizeof start;
  if (read && start[0] == 'M' && start[1] == 'Z') return true;
  return Refuse(DisplayPath(file) + ": not a Windows program (no MZ header), so no setup program for a medium");
}

OutputFile& AddFile(Medium& medium, const std::string& name) {
  medium.files.push_back({name, std::make_unique<OutputFile>()});
  return *medium.files.back().output;
}

// DATA.CMP: the tree packed into the archive, compressed as it is packed.
// The installer expands it into DATA.VNX, whose last character goes into the
// header.
bool WriteMediumPayload(const std::vector<TreeFile>& files, const fs::path& folder, const std::string& payloadName,
                        const CodePage& codePage, unsigned jobs, Medium& medium) {
  OutputFile& out = AddFile(medium, MEDIUM_PAYLOAD);
  std::string error;
  if (!out.Create(folder / MEDIUM_PAYLOAD, error)) return Refuse(error);
  KitStep step("packing and compressing " + payloadName);
  auto produce = [&files](ByteSink& sink, std::string& why) {
    ProgressBar bar("packing and compressing");
    return WriteLibrary(files, sink, why, bar.Callback());
  };
  const std::uint64_t length = LibrarySize(files);
  const PayloadPlan plan = {payloadName, length,    LIBRARY_ARCHIVE_NAME[sizeof LIBRARY_ARCHIVE_NAME - 2],
                            produce,     &codePage, SzddJobs(jobs, length)};
  std::vector<std::string> problems;
  if (!WritePayload(plan, out, medium.payload, problems)) {
    FailWithProblems("", problems);
    return false;
  }
  medium.entries = files.size();
  return true;
}

}  // namespace

bool ReadMedium(const fs::path& kit, const SetupProgram& setup, const CodePage& codePage, MediumSource& source) {
  KitStep step("reading the kit " + DisplayPath(kit));
  std::string error;
  if (!ReadMediumTexts(kit, &codePage, source.texts, error)) return Refuse(error);
  if (!setup.file.empty() && !SetupProgramHolds(setup.file)) return false;
  source.setup = setup;
  return CollectKit(kit, source.texts, codePage, source.files);
}

bool WriteMedium(const MediumSource& source, const fs::path& folder, const std::string& payloadName,
                 const CodePage& codePage, unsigned jobs, Medium& medium) {
  if (!WriteMediumPayload(source.files, folder, payloadName, codePage, jobs, medium)) return false;
  std::string error;
  for (std::size_t i = 0; i < MEDIUM_TEXT_COUNT; ++i) {
    medium.textReports.push_back(source.texts.reports[i]);
    OutputFile& out = AddFile(medium, MEDIUM_TEXT_FILES[i]);
    if (!WriteWholeFile(out, folder / MEDIUM_TEXT_FILES[i], source.texts.bytes[i], error)) return Refuse(error);
  }
  OutputFile& setup = AddFile(medium, MEDIUM_SETUP);
  const bool written = source.setup.file.empty()
                           ? WriteWholeFile(setup, folder / MEDIUM_SETUP, source.setup.bytes, error)
                           : CopyIntoOutput(source.setup.file, setup, folder / MEDIUM_SETUP, error);
  return written || Refuse(error);
}

bool CommitMedium(Medium& medium, std::string& error) {
  for (MediumFile& file : medium.files) {
    if (!file.output->Commit(error)) return false;
  }
  return true;
}
