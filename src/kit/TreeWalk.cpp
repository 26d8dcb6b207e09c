#include "kit/TreeWalk.h"

#include <algorithm>
#include <system_error>

#include "base/NameCharacters.h"
#include "kit/CodePage.h"
#include "kit/NameClash.h"
#include "kit/NamePolicy.h"
#include "kit/PathDisplay.h"
#include "payload/LibraryFormat.h"

namespace fs = std::filesystem;

namespace {

// Whether a name that the file system gave holds a backslash, read as the
// code page reads it: the archive would take it for a separator.
bool HoldsSeparator(const std::string& component, const CodePage& codePage) {
  return FindNameSeparator(codePage.Number(), component.data(), component.size()) < component.size();
}

// What the walk gathers.
struct Gathering {
  const CodePage& codePage;
  std::vector<TreeFile>& files;
  std::vector<std::string>& problems;
  std::vector<std::string>& notes;
};

void Walk(Gathering& into, const fs::path& directory, const std::string& prefix);

// One entry of a directory: a file taken, a directory walked, or a problem.
void Take(Gathering& into, const fs::directory_entry& entry, const std::string& prefix) {
  const fs::path& path = entry.path();
  std::string component;
  std::string problem;
  if (!into.codePage.NameFromSystem(path.filename(), component, problem)) {
    into.problems.push_back(DisplayPath(path) + ": " + problem);
    return;
  }
  const std::string name = prefix.empty() ? component : prefix + "\\" + component;
  std::error_code code;
  const fs::file_status status = entry.symlink_status(code);
  const bool special = !fs::is_directory(status) && !fs::is_regular_file(status);
  if (code) {
    problem = code.message();
  } else if (fs::is_symlink(status)) {
    problem = "a symbolic link; the archive holds regular files only";
  } else if (special) {
    problem = "a special file; the archive holds regular files only";
  } else if (HoldsSeparator(component, into.codePage)) {
    problem = "the name holds a backslash, which the archive reads as a separator";
  } else if (fs::is_directory(status)) {
    Walk(into, path, name);
  } else {
    const std::uintmax_t size = entry.file_size(code);
    if (code) problem = code.message();
    if (!code) into.files.push_back({name, path.native(), static_cast<std::uint64_t>(size)});
  }
  if (!problem.empty()) into.problems.push_back(DisplayPath(path) + ": " + problem);
}

void Walk(Gathering& into, const fs::path& directory, const std::string& prefix) {
  std::error_code code;
  fs::directory_iterator it(directory, code);
  bool empty = true;
  for (; !code && it != fs::directory_iterator(); it.increment(code)) {
    empty = false;
    Take(into, *it, prefix);
  }
  if (code) {
    into.problems.push_back(DisplayPath(directory) + ": cannot read the directory: " + code.message());
  } else if (empty && !prefix.empty()) {
    into.notes.push_back(DisplayPath(directory) +
                         ": an empty directory; the archive keeps directories only as parts of names");
  }
}

}  // namespace

bool CollectTree(const fs::path& root, const CodePage& codePage, std::vector<TreeFile>& files,
                 std::vector<std::string>& problems, std::vector<std::string>& notes) {
  files.clear();
  std::error_code code;
  if (!fs::is_directory(root, code)) {
    problems.push_back(DisplayPath(root) + ": not a directory");
    return false;
  }
  Gathering into = {codePage, files, problems, notes};
  Walk(into, root, "");
  std::sort(files.begin(), files.end(), [](const TreeFile& a, const TreeFile& b) { return a.name < b.name; });

  NameClashCheck clashes(codePage);
  std::uint64_t total = LIBRARY_HEADER_SIZE;
  for (const TreeFile& file : files) {
    std::string problem = EntryNameProblem(file.name, codePage);
    if (problem.empty()) problem = clashes.Add(file.name);
    if (!problem.empty()) problems.push_back(DisplayPath(file.source) + ": " + problem);
    if (file.size > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE)) {
      problems.push_back(DisplayPath(file.source) + ": " + std::to_string(file.size) +
                         " bytes; an entry holds at most 2147483647");
    }
    total += LIBRARY_ENTRY_HEADER_SIZE + file.size;
  }
  if (total > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE)) {
    problems.push_back(DisplayPath(root) + ": the archive would have " + std::to_string(total) +
                       " bytes; it holds at most 2147483647");
  }
  return problems.empty();
}
