#include "kit/NameClash.h"

#include "kit/CodePage.h"

std::vector<std::string> FoldedComponents(const CodePage& codePage, const std::string& name) {
  std::vector<std::string> components = codePage.NameComponents(name);
  for (std::string& component : components) component = codePage.CaseKey(component);
  return components;
}

std::string PathKey(const std::vector<std::string>& components, std::size_t count) {
  std::string key;
  for (std::size_t i = 0; i < count; ++i) key += (i == 0 ? "" : "\\") + components[i];
  return key;
}

std::string NameClashCheck::Add(const std::string& name) {
  if (!exact_.insert(name).second) return "duplicate name: only the first entry of that name can ever be extracted";
  // Windows resolves the name below the directory with one leading
  // separator dropped.
  std::vector<std::string> components = FoldedComponents(codePage_, name);
  if (components.size() > 1 && components[0].empty()) components.erase(components.begin());
  const std::string folded = PathKey(components, components.size());
  auto file = files_.find(folded);
  if (file != files_.end())
    return "differs only in case from \"" + codePage_.Display(file->second) +
           "\": Windows would write both to one file";
  auto directory = directories_.find(folded);
  if (directory != directories_.end()) {
    return "is also a directory of \"" + codePage_.Display(directory->second) + "\"";
  }
  for (std::size_t count = 1; count < components.size(); ++count) {
    auto clash = files_.find(PathKey(components, count));
    if (clash != files_.end()) {
      return "needs \"" + codePage_.Display(clash->second) + "\" as a directory, but it is a file";
    }
  }
  files_.emplace(folded, name);
  for (std::size_t count = 1; count < components.size(); ++count) {
    directories_.emplace(PathKey(components, count), name);
  }
  return "";
}
