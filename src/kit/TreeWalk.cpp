#include "kit/TreeWalk.h"

#include <algorithm>
#include <system_error>

#include "base/Paths.h"
#include "kit/CodePage.h"
#include "kit/NameClash.h"
#include "kit/NamePolicy.h"
#include "kit/PathDisplay.h"
#include "payload/LibraryFormat.h"

namespace fs = std::filesystem;

namespace {

// Setup joins names to "C:\QUENV98" unless the user picks another directory;
// a longer name does not fit its 259-character path there.
constexpr std::size_t DEFAULT_DIRECTORY_NAME_LIMIT = PATH_LIMIT - sizeof DEFAULT_INSTALL_DIR;

void Walk(const fs::path& directory, const CodePage& codePage, const std::string& prefix, std::vector<TreeFile>& files,
          std::vector<std::string>& problems, std::vector<std::string>& notes) {
  std::error_code code;
  fs::directory_iterator it(directory, code);
  if (code) {
    problems.push_back(DisplayPath(directory) + ": cannot read the directory: " + code.message());
    return;
  }
  bool empty = true;
  for (; it != fs::directory_iterator(); it.increment(code)) {
    empty = false;
    const fs::path& path = it->path();
    std::string component;
    std::string problem;
    if (!codePage.NameFromSystem(path.filename(), component, problem)) {
      problems.push_back(DisplayPath(path) + ": " + problem);
      continue;
    }
    std::string name = prefix.empty() ? component : prefix + "\\" + component;
    fs::file_status status = it->symlink_status(code);
    if (code) {
      problems.push_back(DisplayPath(path) + ": " + code.message());
    } else if (fs::is_symlink(status)) {
      problems.push_back(DisplayPath(path) + ": a symbolic link; the archive holds regular files only");
    } else if (fs::is_directory(status)) {
      if (component.find('\\') != std::string::npos) {
        problems.push_back(DisplayPath(path) + ": the name holds a backslash, which the archive reads as a separator");
        continue;
      }
      Walk(path, codePage, name, files, problems, notes);
    } else if (!fs::is_regular_file(status)) {
      problems.push_back(DisplayPath(path) + ": a special file; the archive holds regular files only");
    } else if (component.find('\\') != std::string::npos) {
      problems.push_back(DisplayPath(path) + ": the name holds a backslash, which the archive reads as a separator");
    } else {
      std::uintmax_t size = it->file_size(code);
      if (code) {
        problems.push_back(DisplayPath(path) + ": " + code.message());
      } else {
        files.push_back({name, path, static_cast<std::uint64_t>(size)});
      }
    }
    code.clear();
  }
  if (code) problems.push_back(DisplayPath(directory) + ": cannot read the directory: " + code.message());
  if (empty && !prefix.empty()) {
    notes.push_back(DisplayPath(directory) +
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
  Walk(root, codePage, "", files, problems, notes);
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
    if (file.name.size() > DEFAULT_DIRECTORY_NAME_LIMIT && file.name.size() <= LIBRARY_NAME_LIMIT) {
      notes.push_back(DisplayPath(file.source) + ": the name has " + std::to_string(file.name.size()) +
                      " bytes; below C:\\QUENV98 it does not fit the installer's 259-byte paths");
    }
    total += LIBRARY_ENTRY_HEADER_SIZE + file.size;
  }
  if (total > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE)) {
    problems.push_back(DisplayPath(root) + ": the archive would have " + std::to_string(total) +
                       " bytes; it holds at most 2147483647");
  }
  return problems.empty();
}
