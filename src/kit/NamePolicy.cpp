#include "kit/NamePolicy.h"

#include "base/Paths.h"
#include "kit/CodePage.h"
#include "payload/EntryName.h"
#include "payload/LibraryFormat.h"

std::string StoredNameProblem(const std::string& name) {
  if (name.size() > LIBRARY_NAME_LIMIT) {
    return "the name has " + std::to_string(name.size()) + " bytes; an entry name has at most " +
           std::to_string(LIBRARY_NAME_LIMIT);
  }
  if (name.find('\0') != std::string::npos) return "the name holds a zero byte";
  int index = FindUnstorableCharacter(name.data(), name.size());
  if (index >= 0) {
    return "byte " + std::to_string(index + 1) + " of the name would be stored as a zero byte, which ends a name";
  }
  return "";
}

std::string InstallNameProblem(const std::string& name, const CodePage& codePage) {
  // A kit is made for the directory that setup offers, which most users keep.
  const NameTarget target = {sizeof DEFAULT_INSTALL_DIR - 1, codePage.Number()};
  const NameFault fault = CheckEntryName(name.c_str(), target);
  if (fault == NameFault::None) return "";
  const bool counted = fault == NameFault::PathTooLong || fault == NameFault::DirectoryTooLong;
  return std::string(NameFaultText(fault)) + (counted ? std::string(" (below ") + DEFAULT_INSTALL_DIR + ")" : "");
}

std::string EntryNameProblem(const std::string& name, const CodePage& codePage) {
  std::string problem = StoredNameProblem(name);
  return problem.empty() ? InstallNameProblem(name, codePage) : problem;
}
