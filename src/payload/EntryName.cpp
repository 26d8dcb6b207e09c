#include "payload/EntryName.h"

#include <cstring>

#include "base/Ascii.h"
#include "base/NameCharacters.h"
#include "base/Paths.h"
#include "payload/LibraryFormat.h"

namespace {

// Compares a span of the name with an upper-case word, ignoring the span's case.
bool SpanIs(const char* text, std::size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (AsciiUpper(text[i]) != word[i]) return false;
  }
  return true;
}

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

// Windows takes a superscript 1, 2 or 3 after COM or LPT for a port's digit,
// as it takes 0 to 9. It reads the name's bytes in the ANSI code page, so
// what counts is whether the bytes are that character there: 0xB2 is "²" in
// 1252 but "ｲ" in 932 and "І" in 1251.
bool IsSuperscriptDigit(unsigned codePage, const unsigned char* c, std::size_t length) {
  const bool oneTwoThree = length == 1 && (c[0] == 0xB9 || c[0] == 0xB2 || c[0] == 0xB3);
  switch (codePage) {
    case 1252:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258: return oneTwoThree;
    case 1253: return oneTwoThree && c[0] != 0xB9;  // no "¹" there: 0xB9 is "Ή"
    case 949: return length == 2 && c[0] == 0xA9 && InRange(c[1], 0xF6, 0xF8);
    case 65001: return length == 2 && c[0] == 0xC2 && (c[1] == 0xB9 || c[1] == 0xB2 || c[1] == 0xB3);
    default: return false;
  }
}

bool IsPortDigit(unsigned codePage, const char* digit, std::size_t length) {
  if (length == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
  return IsSuperscriptDigit(codePage, reinterpret_cast<const unsigned char*>(digit), length);
}

bool IsDeviceStem(const char* component, std::size_t length, unsigned codePage) {
  std::size_t stem = 0;
  while (stem < length && component[stem] != '.') ++stem;
  while (stem > 0 && component[stem - 1] == ' ') --stem;
  static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : DEVICES) {
    if (SpanIs(component, stem, device)) return true;
  }
  if (stem < 4 || !(SpanIs(component, 3, "COM") || SpanIs(component, 3, "LPT"))) return false;
  return IsPortDigit(codePage, component + 3, stem - 3);
}

// Control characters, and those that no Windows file name holds: a colon
// names a drive or a stream, the rest are wildcards, quotes and redirections.
// A character cut short would reach the platform as some other character,
// or none.
NameFault CheckCharacters(const char* name, std::size_t length, unsigned codePage) {
  for (std::size_t i = 0; i < length; i += CharacterLength(codePage, name + i, length - i)) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) return NameFault::ControlCharacter;
    if (std::strchr(":<>\"|?*", c) != nullptr) return NameFault::ReservedCharacter;
  }
  if (FindBrokenCharacter(codePage, name, length) < length) return NameFault::BrokenCharacter;
  return NameFault::None;
}

NameFault CheckComponent(const char* component, std::size_t length, unsigned codePage, bool first) {
  if (length == 0) return NameFault::EmptyComponent;
  // Windows drops a trailing dot or space when it opens a file, so "a." is
  // "a" and "..." is "..": refusing every such ending covers "." and ".." too.
  const char last = component[length - 1];
  if (last == '.' || last == ' ') return NameFault::DotOrSpaceEnding;
  if (IsDeviceStem(component, length, codePage)) return NameFault::DeviceName;
  // No directory can be made where the archive lies, and a file of its name
  // would overwrite it while it is read.
  if (first && SpanIs(component, length, LIBRARY_ARCHIVE_NAME)) return NameFault::ArchiveName;
  return NameFault::None;
}

// The start of the first component: only the one harmless leading separator
// is dropped, so that with two (UNC, "\\?\", "\\.\") the first component is
// empty.
const char* FirstComponent(const char* name) { return IsNameSeparator(name[0]) ? name + 1 : name; }

NameFault CheckComponents(const char* name, unsigned codePage) {
  const char* start = FirstComponent(name);
  for (bool first = true;; first = false) {
    const std::size_t left = std::strlen(start);
    const char* end = start + FindNameSeparator(codePage, start, left);
    const NameFault fault = CheckComponent(start, static_cast<std::size_t>(end - start), codePage, first);
    if (fault != NameFault::None || *end == '\0') return fault;
    start = end + 1;
  }
}

// What the name puts after the directory and its backslash: the file's
// path, and the longest of the directories that the extraction creates for
// it (0 when it creates none).
struct NameLengths {
  std::size_t file;
  std::size_t directory;
};

NameLengths LengthsOf(const char* name, unsigned codePage) {
  const char* start = FirstComponent(name);
  const std::size_t length = std::strlen(start);
  // The deepest directory ends at the last separator.
  std::size_t directory = 0;
  for (std::size_t at = FindNameSeparator(codePage, start, length); at < length;
       at += 1 + FindNameSeparator(codePage, start + at + 1, length - at - 1)) {
    directory = at;
  }
  return {std::strlen(name), directory};
}

}  // namespace

NameFault CheckEntryName(const char* name, const NameTarget& target) {
  if (name == nullptr) return NameFault::EmptyComponent;
  NameFault fault = CheckCharacters(name, std::strlen(name), target.codePage);
  if (fault == NameFault::None) fault = CheckComponents(name, target.codePage);
  if (fault != NameFault::None) return fault;
  const NameLengths lengths = LengthsOf(name, target.codePage);
  if (target.directoryLength + 1 + lengths.file > PATH_LIMIT) return NameFault::PathTooLong;
  if (lengths.directory > 0 && target.directoryLength + 1 + lengths.directory > DIRECTORY_PATH_LIMIT) {
    return NameFault::DirectoryTooLong;
  }
  return NameFault::None;
}

long LongestDirectoryFor(const char* name, unsigned codePage) {
  const NameLengths lengths = LengthsOf(name, codePage);
  long longest = static_cast<long>(PATH_LIMIT) - 1 - static_cast<long>(lengths.file);
  if (lengths.directory > 0) {
    const long forDirectory = static_cast<long>(DIRECTORY_PATH_LIMIT) - 1 - static_cast<long>(lengths.directory);
    if (forDirectory < longest) longest = forDirectory;
  }
  return longest < 0 ? -1 : longest;
}

const char* NameFaultText(NameFault fault) {
  switch (fault) {
    case NameFault::None: break;
    case NameFault::EmptyComponent: return "an empty name or component (two separators together, or one at the end)";
    case NameFault::DotOrSpaceEnding:
      return "a component ends in a dot or a space, which Windows drops (\".\" and \"..\" among them)";
    case NameFault::BrokenCharacter:
      return "the name holds half a character: a byte that begins a two-byte character of the code page, without "
             "a second byte that can follow it";
    case NameFault::ControlCharacter: return "the name holds a control character";
    case NameFault::ReservedCharacter:
      return "the name holds one of : < > \" | ? *, which Windows does not allow in file names";
    case NameFault::DeviceName: return "a component is named like a device (CON, PRN, AUX, NUL, COM1, LPT1, ...)";
    case NameFault::ArchiveName:
      return "the first component is DATA.VNX, the archive's own name, where setup can write nothing while it "
             "extracts the archive";
    case NameFault::PathTooLong: return "joined to the installation directory, the path is longer than 259 characters";
    case NameFault::DirectoryTooLong:
      return "joined to the installation directory, a directory's path is longer than 247 characters, which "
             "Windows does not create";
  }
  return "";
}
