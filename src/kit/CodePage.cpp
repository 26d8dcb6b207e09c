#include "kit/CodePage.h"

#include <cinttypes>
#include <cstdio>

#include "base/Ascii.h"
#include "kit/CodePageSystem.h"

namespace {

// The code pages whose every character iconv and Windows write as the same
// bytes and read back alike, by the rules above. Left out: 950, where the two
// write four box-drawing characters differently, and 1255 and 1258, where
// iconv composes and decomposes diacritics and Windows does not.
const unsigned SUPPORTED[] = {874, 932, 936, 949, 1250, 1251, 1252, 1253, 1254, 1256, 1257};

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

std::string Hex(const std::string& bytes) {
  std::string text;
  for (unsigned char b : bytes) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%s0x%02X", text.empty() ? "" : " ", b);
    text += hex;
  }
  return text;
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

bool CodePage::DoubleByte() const { return number_ == 932 || number_ == 936 || number_ == 949; }

bool CodePage::Encode(const std::u32string& text, bool name, std::string& bytes, std::string& problem) const {
  const std::string page = "code page " + std::to_string(number_);
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    std::string one;
    std::u32string back;
    if (NeverWritten(c) || !system_->EncodeCharacter(c, one) || !system_->Decode(one, back) ||
        back != std::u32string(1, c)) {
      problem =
          (name ? "the name holds " : Position(text, i) + ": ") + Describe(c, *system_) + ", which " + page + " lacks";
      return false;
    }
    if (name && one.size() > 1 && one.find_first_of("\\/", 1) != std::string::npos) {
      problem = "the name holds " + Describe(c, *system_) + ", which " + page + " writes as " + Hex(one) +
                "; setup would split the name at the " + (one.find('\\', 1) != std::string::npos ? "0x5C" : "0x2F") +
                ", which it takes for a separator";
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
    std::string key = bytes;
    for (char& c : key) c = AsciiUpper(c);
    return key;
  }
  for (char32_t& c : text) {
    const char32_t upper = system_->Upper(c);
    if (upper != c && system_->Lower(upper) == c) c = upper;
  }
  return system_->CodePointsToUtf8(text);
}

std::size_t CodePage::SplitTrailByte(const std::string& bytes) const {
  if (!DoubleByte()) return std::string::npos;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (!system_->LeadByte(static_cast<unsigned char>(bytes[i]))) continue;
    ++i;
    if (bytes[i] == '\\' || bytes[i] == '/') return i;
  }
  return std::string::npos;
}
