// Which names, in the target machines' code page, an archive can hold.
#pragma once
#include <string>

class CodePage;

// Why the format cannot store the name: over 259 bytes, a zero byte, or a
// byte whose stored form is zero. Empty when it can.
std::string StoredNameProblem(const std::string& name);

// Why the installer's entry-name rule (CheckEntryName) refuses the name, in
// the code page, below the directory that setup offers, "C:\QUENV98"; empty
// when it does not. The same words for pack, medium and verify.
std::string InstallNameProblem(const std::string& name, const CodePage& codePage);

// Why the name, in the code page, cannot be an entry name, or an empty string
// when it can: a name the format cannot store, or one that the installer's
// rule refuses.
std::string EntryNameProblem(const std::string& name, const CodePage& codePage);
