// extract: every entry of a verified archive or payload written below a
// folder. A first pass checks the whole archive, so that nothing at all is
// written from one that would not install; the second reads it again from
// its start and writes each entry as it comes.
#include <cstdio>
#include <system_error>
#include <vector>

#include "kit/ArchiveSource.h"
#include "kit/CodePage.h"
#include "kit/CommandOutput.h"
#include "kit/KitCommands.h"
#include "kit/KitStep.h"
#include "kit/OutputFile.h"
#include "kit/PathDisplay.h"
#include "kit/ProgressBar.h"

namespace fs = std::filesystem;

namespace {

// The components of an entry name, in UTF-8: split where the code page
// reads a '\' or a '/', one leading separator dropped, as on Windows. False
// when the name is not text in the code page.
bool Components(const std::string& name, const CodePage& codePage, std::vector<std::string>& parts,
                std::string& error) {
  std::vector<std::string> split = codePage.NameComponents(name);
  if (split.size() > 1 && split[0].empty()) split.erase(split.begin());
  parts.assign(split.size(), std::string());
  for (std::size_t i = 0; i < split.size(); ++i) {
    if (!codePage.ToUtf8(split[i], parts[i], error)) return false;
  }
  return true;
}

// Makes one directory of an entry's path unless it is there. A symbolic link
// or a file where it belongs is refused, so that nothing is written outside
// the root.
bool MakeEntryDirectory(const fs::path& path, std::string& error) {
  std::error_code code;
  fs::file_status status = fs::symlink_status(path, code);
  if (fs::is_symlink(status)) {
    error = DisplayPath(path) + ": a symbolic link is in the way";
  } else if (fs::exists(status) && !fs::is_directory(status)) {
    error = DisplayPath(path) + ": a file is in the way of a directory";
  } else if (!fs::exists(status) && !fs::create_directory(path, code)) {
    error = DisplayPath(path) + ": cannot create the directory: " + code.message();
  } else {
    return true;
  }
  return false;
}

// Creates the directories below root for an entry, its name's components in
// UTF-8, and gives the path of its file.
bool PrepareEntryPath(const fs::path& root, const std::vector<std::string>& parts, fs::path& file, std::string& error) {
  fs::path path = root;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    path /= fs::u8path(parts[i]);
    if (!MakeEntryDirectory(path, error)) return false;
  }
  file = path / fs::u8path(parts.back());
  std::error_code code;
  if (fs::is_directory(fs::symlink_status(file, code))) {
    error = DisplayPath(file) + ": a directory is in the way";
    return false;
  }
  return true;
}

// Writes the current entry's data to its file below the directory.
bool ExtractEntry(LibraryScanner& scanner, const ScannedEntry& entry, const fs::path& directory,
                  const CodePage& codePage, const std::string& file, ProgressBar& bar, std::uint64_t length,
                  std::string& error) {
  std::vector<std::string> parts;
  fs::path target;
  OutputFile out;
  if (!Components(entry.name, codePage, parts, error)) {
    error = file + ": " + entry.shown + ": " + error;
    return false;
  }
  if (!PrepareEntryPath(directory, parts, target, error) || !out.Create(target, error)) return false;
  auto write = [&](const unsigned char* data, std::size_t size) {
    bar.Update(scanner.Position(), length);
    return out.Write(data, size, error);
  };
  if (!scanner.ReadData(write, error)) return false;
  // The archive is read anew for this pass: one that changed since it was
  // verified is found out before the file takes its name.
  if (!scanner.DataIntact()) {
    error = file + ": " + EntryLabel(entry.index, entry.shown) + ": the data changed since it was verified";
    return false;
  }
  return out.Commit(error);
}

// The second pass: every entry written out. False, with the problem.
bool ExtractAll(ArchiveSource& source, const fs::path& directory, const CodePage& codePage, const std::string& file,
                std::size_t& entries, std::string& error) {
  LibraryScanner scanner(source.Input(), codePage);
  if (!scanner.ReadHeader(error)) {
    error = file + ": " + error;
    return false;
  }
  ProgressBar bar("extracting");
  const auto length = static_cast<std::uint64_t>(source.Input().length);
  ScannedEntry entry;
  for (;;) {
    const ScanStep step = scanner.Next(entry, error);
    if (step == ScanStep::End) return true;
    if (step == ScanStep::Invalid) error = file + ": " + error;
    if (step == ScanStep::Invalid || !ExtractEntry(scanner, entry, directory, codePage, file, bar, length, error)) {
      return false;
    }
    ++entries;
  }
}

}  // namespace

int ExtractCommand(const fs::path& file, const fs::path& directory, const CodePage& codePage) {
  KitStep step("extracting " + DisplayPath(file) + " into " + DisplayPath(directory));
  ArchiveSource source;
  LibraryCheck check;
  std::string error;
  if (!OpenAndVerify(file, codePage, source, check)) return 1;
  if (!source.Open(file, error)) return Fail(error);
  std::error_code code;
  fs::create_directories(directory, code);
  if (code) return Fail(DisplayPath(directory) + ": cannot create the directory: " + code.message());
  std::size_t entries = 0;
  const bool extracted = ExtractAll(source, directory, codePage, DisplayPath(file), entries, error);
  std::string broken;
  if (!source.Finish(broken)) return Fail(broken);
  if (!extracted) return Fail(error);
  std::printf("%s: %zu entries extracted\n", DisplayPath(directory).c_str(), entries);
  return 0;
}
