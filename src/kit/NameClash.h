// Entry names that the format can hold but an installation cannot, though
// each passes on its own: two entries that Windows, ignoring case, would
// write to one file, and a file that another entry needs as a directory.
#pragma once
#include <map>
#include <set>
#include <string>

class CodePage;

// The name as the file system compares it: case folded as the code page's
// characters fold, and every separator read as a backslash.
std::string FoldedName(const CodePage& codePage, const std::string& name);

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
