#include "kit/NamePolicy.h"

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

std::string EntryNameProblem(const std::string& name, const CodePage& codePage) {
  std::string problem = StoredNameProblem(name);
  if (!problem.empty()) return problem;
  if (!IsSafeEntryName(name.c_str())) {
    return "the name is not safe to extract (a drive, a device, a \".\" or \"..\" component, an empty component, "
           "a trailing dot or space, or a control character)";
  }
  // Looked for among the characters: in a double-byte code page a second
  // byte may be one of them without the character being it.
  std::string text;
  if (!codePage.ToUtf8(name, text, problem)) text = name;
  if (text.find_first_of("<>\"|?*") != std::string::npos) {
    return "the name holds one of < > \" | ? *, which Windows does not allow in file names";
  }
  return "";
}
