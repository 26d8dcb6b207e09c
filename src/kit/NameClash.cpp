#include "kit/NameClash.h"

#include "kit/CodePage.h"
#include "payload/EntryName.h"

std::string FoldedName(const CodePage& codePage, const std::string& name) {
  std::string folded = codePage.CaseKey(name);
  for (char& c : folded) {
    if (IsNameSeparator(c)) c = '\\';
  }
  return folded;
}

std::string NameClashCheck::Add(const std::string& name) {
  if (!exact_.insert(name).second) return "duplicate name: only the first entry of that name can ever be extracted";
  // Windows resolves the name below the directory with one leading
  // separator dropped.
  std::string folded = FoldedName(codePage_, name);
  if (!folded.empty() && folded[0] == '\\') folded.erase(0, 1);
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
