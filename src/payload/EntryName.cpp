#include "payload/EntryName.h"

#include <cstring>

#include "base/Ascii.h"
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

// The double-byte code pages: the first byte of a two-byte character, and
// the bytes that may follow it. A byte that may not follow stands alone.
bool IsLeadByte(unsigned codePage, unsigned char byte) {
  switch (codePage) {
    case 932: return InRange(byte, 0x81, 0x9F) || InRange(byte, 0xE0, 0xFC);
    case 936:
    case 949:
    case 950: return InRange(byte, 0x81, 0xFE);
    default: return false;
  }
}

bool IsTrailByte(unsigned codePage, unsigned char byte) {
  switch (codePage) {
    case 932: return InRange(byte, 0x40, 0x7E) || InRange(byte, 0x80, 0xFC);
    case 936: return InRange(byte, 0x40, 0x7E) || InRange(byte, 0x80, 0xFE);
    case 949: return InRange(byte, 0x41, 0x5A) || InRange(byte, 0x61, 0x7A) || InRange(byte, 0x81, 0xFE);
    case 950: return InRange(byte, 0x40, 0x7E) || InRange(byte, 0xA1, 0xFE);
    default: return false;
  }
}

// How many bytes the character at text takes in the code page: 2 for a lead
// byte with a byte after it that may follow it, 1 otherwise.
std::size_t CharacterLength(unsigned codePage, const unsigned char* text) {
  return IsLeadByte(codePage, text[0]) && IsTrailByte(codePage, text[1]) ? 2 : 1;
}

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
NameFault CheckCharacters(const char* name, unsigned codePage) {
  const auto* text = reinterpret_cast<const unsigned char*>(name);
  for (std::size_t i = 0; text[i] != '\0'; i += CharacterLength(codePage, text + i)) {
    const unsigned char c = text[i];
    if (c < 0x20 || c == 0x7F) return NameFault::ControlCharacter;
    if (std::strchr(":<>\"|?*", c) != nullptr) return NameFault::ReservedCharacter;
  }
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
    const char* end = start;
    while (*end != '\0' && !IsNameSeparator(*end)) ++end;
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

NameLengths LengthsOf(const char* name) {
  const char* start = FirstComponent(name);
  const char* last = nullptr;
  for (const char* p = start; *p != '\0'; ++p) {
    if (IsNameSeparator(*p)) last = p;
  }
  return {std::strlen(name), last == nullptr ? 0 : static_cast<std::size_t>(last - start)};
}

}  // namespace

bool IsNameSeparator(char c) { return c == '\\' || c == '/'; }

NameFault CheckEntryName(const char* name, const NameTarget& target) {
  if (name == nullptr) return NameFault::EmptyComponent;
  NameFault fault = CheckCharacters(name, target.codePage);
  if (fault == NameFault::None) fault = CheckComponents(name, target.codePage);
  if (fault != NameFault::None) return fault;
  const NameLengths lengths = LengthsOf(name);
  if (target.directoryLength + 1 + lengths.file > PATH_LIMIT) return NameFault::PathTooLong;
  if (lengths.directory > 0 && target.directoryLength + 1 + lengths.directory > DIRECTORY_PATH_LIMIT) {
    return NameFault::DirectoryTooLong;
  }
  return NameFault::None;
}

long LongestDirectoryFor(const char* name) {
  const NameLengths lengths = LengthsOf(name);
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
