// Which names, in the target machines' code page, an archive can hold.
#pragma once
#include <string>

class CodePage;

// Why the format cannot store the name: over 259 bytes, a zero byte, or a
// byte whose stored form is zero. Empty when it can.
std::string StoredNameProblem(const std::string& name);

// Why the name, in the code page, cannot be an entry name, or an empty string
// when it can: a name the format cannot store, a name the entry-name rule
// refuses, or a character Windows does not allow in file names.
std::string EntryNameProblem(const std::string& name, const CodePage& codePage);
