#include "kit/CodePage.h"

#include <cinttypes>
#include <cstdio>

#include "base/Ascii.h"
#include "base/NameCharacters.h"
#include "kit/CodePageSystem.h"

namespace {

// The code pages whose every character iconv and Windows write as the same
// bytes and read back alike, by the rules above, but for the four of 950
// below. Left out: 1255 and 1258, where iconv composes and decomposes
// diacritics and Windows does not.
const unsigned SUPPORTED[] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1256, 1257};

// Code page 950 holds these box-drawing characters twice, in its standard
// set and in its extension. Both converters read either form as the
// character, but iconv writes the first and Windows the second, so neither
// build writes them.
struct TwoForms {
  char32_t character;
  const char* forms;
};
const TwoForms CP950_TWO_FORMS[] = {
    {0x2550, "0xA2 0xA4 and 0xF9 0xF9"},
    {0x255E, "0xA2 0xA5 and 0xF9 0xE9"},
    {0x2561, "0xA2 0xA7 and 0xF9 0xEB"},
    {0x256A, "0xA2 0xA6 and 0xF9 0xEA"},
};

const char* TwoFormsOf(unsigned page, char32_t c) {
  if (page != 950) return nullptr;
  for (const TwoForms& two : CP950_TWO_FORMS) {
    if (two.character == c) return two.forms;
  }
  return nullptr;
}

// Beyond the rules above, surrogates (which valid UTF-8 cannot hold, though
// not every decoder refuses them) and everything past the Basic Multilingual
// Plane, which none of these code pages holds.
bool NeverWritten(char32_t c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xD800 && c <= 0xF8FF) || c > 0xFFFF; }

// "U+65E5 (日)": the character as a number, and as itself when it shows.
std::string Describe(char32_t c, SystemCodePage& system) {
  char number[16];
  std::snprintf(number, sizeof number, "U+%04" PRIX32, static_cast<std::uint32_t>(c));
  if (c < 0xA0) return number;
  return std::string(number) + " (" + system.CodePointsToUtf8(std::u32string(1, c)) + ")";
}

// Line and column (from 1) of the character at index in the text.
std::string Position(const std::u32string& text, std::size_t index) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t i = 0; i < index; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

std::string SupportedCodePages() {
  std::string list;
  for (unsigned number : SUPPORTED) list += (list.empty() ? "" : ", ") + std::to_string(number);
  return list;
}

bool IsSupportedCodePage(unsigned number) {
  for (unsigned supported : SUPPORTED) {
    if (number == supported) return true;
  }
  return false;
}

CodePage::CodePage() = default;
CodePage::~CodePage() = default;

bool CodePage::Open(unsigned number, std::string& error) {
  if (!IsSupportedCodePage(number)) {
    error = "code page " + std::to_string(number) + " is not one that kitpack writes (" + SupportedCodePages() + ")";
    return false;
  }
  system_ = OpenSystemCodePage(number, error);
  if (!system_) return false;
  number_ = number;
  return true;
}

bool CodePage::Encode(const std::u32string& text, bool name, std::string& bytes, std::string& problem) const {
  const std::string page = "code page " + std::to_string(number_);
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    const std::string where = name ? "the name holds " : Position(text, i) + ": ";
    if (const char* forms = TwoFormsOf(number_, c)) {
      problem = where + Describe(c, *system_) + ", which " + page + " writes in two ways (" + forms + ")";
      return false;
    }
    std::string one;
    std::u32string back;
    if (NeverWritten(c) || !system_->EncodeCharacter(c, one) || !system_->Decode(one, back) ||
        back != std::u32string(1, c)) {
      problem = where + Describe(c, *system_) + ", which " + page + " lacks";
      return false;
    }
    bytes += one;
  }
  return true;
}

bool CodePage::Decode(const std::string& bytes, std::u32string& text) const {
  if (!system_->Decode(bytes, text)) return false;
  for (char32_t c : text) {
    if (NeverWritten(c)) return false;
  }
  return true;
}

bool CodePage::NameFromSystem(const std::filesystem::path& component, std::string& bytes, std::string& problem) const {
  std::u32string text;
#ifdef _WIN32
  if (!Utf16ToCodePoints(component.native(), text)) {
    problem = "the name is not valid Unicode (it holds an unpaired surrogate)";
    return false;
  }
#else
  std::size_t invalid = 0;
  if (!system_->Utf8ToCodePoints(component.native(), text, invalid)) {
    problem = "the name is not valid UTF-8 (byte " + std::to_string(invalid + 1) + ")";
    return false;
  }
#endif
  return Encode(text, true, bytes, problem);
}

bool CodePage::IsUtf8(const std::string& bytes) const {
  std::u32string text;
  std::size_t invalid = 0;
  return system_->Utf8ToCodePoints(bytes, text, invalid);
}

bool CodePage::TextFromUtf8(const std::string& utf8, std::string& bytes, std::string& problem) const {
  std::u32string text;
  std::size_t invalid = 0;
  if (!system_->Utf8ToCodePoints(utf8, text, invalid)) {
    problem = "not valid UTF-8 at byte " + std::to_string(invalid + 1);
    return false;
  }
  return Encode(text, false, bytes, problem);
}

bool CodePage::ToUtf8(const std::string& bytes, std::string& utf8, std::string& problem) const {
  std::u32string text;
  if (!Decode(bytes, text)) {
    problem = "the bytes are not text in code page " + std::to_string(number_);
    return false;
  }
  utf8 = system_->CodePointsToUtf8(text);
  return true;
}

std::string CodePage::Display(const std::string& bytes) const {
  std::u32string text;
  if (Decode(bytes, text)) return system_->CodePointsToUtf8(text);
  std::string shown;
  for (unsigned char b : bytes) {
    if (b < 0x80) {
      shown += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      shown += hex;
    }
  }
  return shown;
}

std::string CodePage::CaseKey(const std::string& bytes) const {
  std::u32string text;
  if (!Decode(bytes, text)) {
    // Only a byte that is a character of its own is a letter: the second
    // byte of a two-byte character keeps its case.
    std::string key = bytes;
    for (std::size_t i = 0; i < key.size(); i += CharacterLength(number_, key.data() + i, key.size() - i)) {
      key[i] = AsciiUpper(key[i]);
    }
    return key;
  }
  for (char32_t& c : text) {
    const char32_t upper = system_->Upper(c);
    if (upper != c && system_->Lower(upper) == c) c = upper;
  }
  return system_->CodePointsToUtf8(text);
}

std::vector<std::string> CodePage::NameComponents(const std::string& bytes) const {
  std::vector<std::string> components;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = start + FindNameSeparator(number_, bytes.data() + start, bytes.size() - start);
    components.push_back(bytes.substr(start, end - start));
    if (end == bytes.size()) return components;
    start = end + 1;
  }
}
