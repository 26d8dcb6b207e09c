#include "base/NameCharacters.h"

namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

// Whether the byte may follow a lead byte in the code page.
bool IsTrailByte(unsigned codePage, unsigned char byte) {
  switch (codePage) {
    case 932: return InRange(byte, 0x40, 0x7E) || InRange(byte, 0x80, 0xFC);
    case 936: return InRange(byte, 0x40, 0x7E) || InRange(byte, 0x80, 0xFE);
    case 949: return InRange(byte, 0x41, 0x5A) || InRange(byte, 0x61, 0x7A) || InRange(byte, 0x81, 0xFE);
    case 950: return InRange(byte, 0x40, 0x7E) || InRange(byte, 0xA1, 0xFE);
    default: return false;
  }
}

}  // namespace

bool IsLeadByte(unsigned codePage, unsigned char byte) {
  switch (codePage) {
    case 932: return InRange(byte, 0x81, 0x9F) || InRange(byte, 0xE0, 0xFC);
    case 936:
    case 949:
    case 950: return InRange(byte, 0x81, 0xFE);
    default: return false;
  }
}

std::size_t CharacterLength(unsigned codePage, const char* text, std::size_t left) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  return left >= 2 && IsLeadByte(codePage, bytes[0]) && IsTrailByte(codePage, bytes[1]) ? 2 : 1;
}

bool IsNameSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t FindNameSeparator(unsigned codePage, const char* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length && !IsNameSeparator(text[i])) i += CharacterLength(codePage, text + i, length - i);
  return i;
}

std::size_t FindBrokenCharacter(unsigned codePage, const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length;) {
    const std::size_t character = CharacterLength(codePage, text + i, length - i);
    if (character == 1 && IsLeadByte(codePage, static_cast<unsigned char>(text[i]))) return i;
    i += character;
  }
  return length;
}
