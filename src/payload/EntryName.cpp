#include "payload/EntryName.h"

#include <cstddef>
#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Compares the stem with an upper-case word, ignoring the stem's case.
bool StemIs(const char* stem, std::size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (Upper(stem[i]) != word[i]) return false;
  }
  return true;
}

// The digit of COMn and LPTn: 0-9, or a superscript 1, 2 or 3, which Windows
// also maps to the ports. A name's bytes reach Windows through the ANSI code
// page, where the superscripts are single bytes; a UTF-8 code page makes them
// two bytes, so both spellings count.
bool IsPortDigit(const char* digit, std::size_t length) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(digit[i]); };
  auto superscript = [](unsigned char b) { return b == 0xB9 || b == 0xB2 || b == 0xB3; };
  if (length == 1) return (byte(0) >= '0' && byte(0) <= '9') || superscript(byte(0));
  return length == 2 && byte(0) == 0xC2 && superscript(byte(1));
}

bool IsDeviceStem(const char* component, std::size_t length) {
  std::size_t stem = 0;
  while (stem < length && component[stem] != '.') ++stem;
  while (stem > 0 && component[stem - 1] == ' ') --stem;
  static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : DEVICES) {
    if (StemIs(component, stem, device)) return true;
  }
  if (stem < 4) return false;
  return (StemIs(component, 3, "COM") || StemIs(component, 3, "LPT")) && IsPortDigit(component + 3, stem - 3);
}

bool IsSafeComponent(const char* component, std::size_t length) {
  if (length == 0) return false;
  // Windows drops a trailing dot or space when it opens a file, so "a." is
  // "a" and "..." is "..": refusing every such ending covers "." and ".." too.
  char last = component[length - 1];
  if (last == '.' || last == ' ') return false;
  return !IsDeviceStem(component, length);
}

}  // namespace

bool IsSafeEntryName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    auto c = static_cast<unsigned char>(*p);
    if (c == ':' || c < 0x20 || c == 0x7F) return false;
  }
  // Only the one harmless leading separator is dropped: with two (UNC,
  // "\\?\", "\\.\") the first component is then empty and refused.
  const char* start = IsSeparator(name[0]) ? name + 1 : name;
  for (;;) {
    const char* end = start;
    while (*end != '\0' && !IsSeparator(*end)) ++end;
    if (!IsSafeComponent(start, static_cast<std::size_t>(end - start))) return false;
    if (*end == '\0') return true;
    start = end + 1;
  }
}
