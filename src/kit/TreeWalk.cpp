#include "kit/TreeWalk.h"

#include <algorithm>
#include <system_error>

#include "base/NameCharacters.h"
#include "kit/CodePage.h"
#include "kit/NameClash.h"
#include "kit/NamePolicy.h"
#include "payload/LibraryFormat.h"

namespace fs = std::filesystem;

namespace {

// Whether a name that the file system gave holds a backslash, read as the
// code page reads it: the archive would take it for a separator.
bool HoldsSeparator(const std::string& component, const CodePage& codePage) {
  return FindNameSeparator(codePage.Number(), component.data(), component.size()) < component.size();
}

void Walk(const fs::path& directory, const CodePage& codePage, const std::string& prefix, std::vector<TreeFile>& files,
          std::vector<std::string>& problems, std::vector<std::string>& notes) {
  std::error_code code;
  fs::directory_iterator it(directory, code);
  if (code) {
    problems.push_back(directory.string() + ": cannot read the directory: " + code.message());
    return;
  }
  bool empty = true;
  for (; it != fs::directory_iterator(); it.increment(code)) {
    empty = false;
    const fs::path& path = it->path();
    std::string component;
    std::string problem;
    if (!codePage.NameFromSystem(path.filename(), component, problem)) {
      problems.push_back(path.string() + ": " + problem);
      continue;
    }
    std::string name = prefix.empty() ? component : prefix + "\\" + component;
    fs::file_status status = it->symlink_status(code);
    if (code) {
      problems.push_back(path.string() + ": " + code.message());
    } else if (fs::is_symlink(status)) {
      problems.push_back(path.string() + ": a symbolic link; the archive holds regular files only");
    } else if (fs::is_directory(status)) {
      if (HoldsSeparator(component, codePage)) {
        problems.push_back(path.string() + ": the name holds a backslash, which the archive reads as a separator");
        continue;
      }
      Walk(path, codePage, name, files, problems, notes);
    } else if (!fs::is_regular_file(status)) {
      problems.push_back(path.string() + ": a special file; the archive holds regular files only");
    } else if (HoldsSeparator(component, codePage)) {
      problems.push_back(path.string() + ": the name holds a backslash, which the archive reads as a separator");
    } else {
      std::uintmax_t size = it->file_size(code);
      if (code) {
        problems.push_back(path.string() + ": " + code.message());
      } else {
        files.push_back({name, path, static_cast<std::uint64_t>(size)});
      }
    }
    code.clear();
  }
  if (code) problems.push_back(directory.string() + ": cannot read the directory: " + code.message());
  if (empty && !prefix.empty()) {
    notes.push_back(directory.string() + ": an empty directory; the archive keeps directories only as parts of names");
  }
}

}  // namespace

bool CollectTree(const fs::path& root, const CodePage& codePage, std::vector<TreeFile>& files,
                 std::vector<std::string>& problems, std::vector<std::string>& notes) {
  files.clear();
  std::error_code code;
  if (!fs::is_directory(root, code)) {
    problems.push_back(root.string() + ": not a directory");
    return false;
  }
  Walk(root, codePage, "", files, problems, notes);
  std::sort(files.begin(), files.end(), [](const TreeFile& a, const TreeFile& b) { return a.name < b.name; });

  NameClashCheck clashes(codePage);
  std::uint64_t total = LIBRARY_HEADER_SIZE;
  for (const TreeFile& file : files) {
    std::string problem = EntryNameProblem(file.name, codePage);
    if (problem.empty()) problem = clashes.Add(file.name);
    if (!problem.empty()) problems.push_back(file.source.string() + ": " + problem);
    if (file.size > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE)) {
      problems.push_back(file.source.string() + ": " + std::to_string(file.size) +
                         " bytes; an entry holds at most 2147483647");
    }
    total += LIBRARY_ENTRY_HEADER_SIZE + file.size;
  }
  if (total > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE)) {
    problems.push_back(root.string() + ": the archive would have " + std::to_string(total) +
                       " bytes; it holds at most 2147483647");
  }
  return problems.empty();
}
