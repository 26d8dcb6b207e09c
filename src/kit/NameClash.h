// Entry names that the format can hold but an installation cannot, though
// each passes on its own: two entries that Windows, ignoring case, would
// write to one file, and a file that another entry needs as a directory.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

class CodePage;

// The name as the file system compares it: its components, split where the
// code page reads a separator, each with its case folded as the code page's
// characters fold. A leading separator gives an empty first component.
std::vector<std::string> FoldedComponents(const CodePage& codePage, const std::string& name);

// The key of the path that the first count of the components make: equal
// keys for the paths that the file system takes for one.
std::string PathKey(const std::vector<std::string>& components, std::size_t count);

class NameClashCheck {
 public:
  // Names are in the code page, and compared without case as it reads them.
  explicit NameClashCheck(const CodePage& codePage) : codePage_(codePage) {}
  // Takes the next entry name in archive order. Empty when it clashes with
  // none of the names taken before it, else what the clash is.
  std::string Add(const std::string& name);

 private:
  const CodePage& codePage_;
  std::set<std::string> exact_;                     // every name as stored
  std::map<std::string, std::string> files_;        // folded name -> first name as stored
  std::map<std::string, std::string> directories_;  // folded directory -> name that implied it
};
