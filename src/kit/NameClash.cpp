#include "kit/NameClash.h"

#include <cstring>

#include "kit/CodePage.h"
#include "payload/LibraryFormat.h"

namespace {

// The name as Windows resolves it below the target directory: one leading
// separator dropped, '/' read as '\\', and case folded as the code page's
// characters fold.
std::string Folded(const CodePage& codePage, const std::string& name) {
  std::string folded = codePage.CaseKey(name);
  if (!folded.empty() && (folded[0] == '\\' || folded[0] == '/')) folded.erase(0, 1);
  for (char& c : folded) {
    if (c == '/') c = '\\';
  }
  return folded;
}

}  // namespace

std::string NameClashCheck::Add(const std::string& name) {
  if (!exact_.insert(name).second) return "duplicate name: only the first entry of that name can ever be extracted";
  std::string folded = Folded(codePage_, name);
  if (folded == LIBRARY_ARCHIVE_NAME) {
    return std::string("would overwrite the archive ") + LIBRARY_ARCHIVE_NAME + " while setup extracts it";
  }
  auto file = files_.find(folded);
  if (file != files_.end())
    return "differs only in case from \"" + codePage_.Display(file->second) +
           "\": Windows would write both to one file";
  auto directory = directories_.find(folded);
  if (directory != directories_.end()) {
    return "is also a directory of \"" + codePage_.Display(directory->second) + "\"";
  }
  for (std::size_t i = folded.find('\\'); i != std::string::npos; i = folded.find('\\', i + 1)) {
    std::string prefix = folded.substr(0, i);
    auto clash = files_.find(prefix);
    if (clash != files_.end()) {
      return "needs \"" + codePage_.Display(clash->second) + "\" as a directory, but it is a file";
    }
  }
  files_.emplace(folded, name);
  for (std::size_t i = folded.find('\\'); i != std::string::npos; i = folded.find('\\', i + 1)) {
    directories_.emplace(folded.substr(0, i), name);
  }
  return "";
}
