// The code page conversions through WideCharToMultiByte and
// MultiByteToWideChar, and case through LCMapStringW in the invariant
// locale, whose mappings are the file systems' own.
#include <windows.h>

#include "kit/CodePageSystem.h"

namespace {

// The code page's characters in UTF-16, or false when the bytes are not
// text in it.
bool ToUtf16(UINT page, const std::string& bytes, std::wstring& utf16) {
  utf16.clear();
  if (bytes.empty()) return true;
  const int size = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (needed <= 0) return false;
  utf16.resize(static_cast<std::size_t>(needed));
  return MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, &utf16[0], needed) == needed;
}

class Win32CodePage : public SystemCodePage {
 public:
  bool Open(unsigned number, std::string& error) {
    CPINFO info;
    if (!IsValidCodePage(number) || !GetCPInfo(number, &info)) {
      error = "Windows has no code page " + std::to_string(number) + " installed";
      return false;
    }
    page_ = number;
    return true;
  }

  bool Utf8ToCodePoints(const std::string& utf8, std::u32string& text, std::size_t& invalid) override {
    std::wstring utf16;
    if (ToUtf16(CP_UTF8, utf8, utf16) && Utf16ToCodePoints(utf16, text)) return true;
    // Find the first sequence that does not convert: each is one to four
    // bytes long.
    for (invalid = 0; invalid < utf8.size();) {
      std::size_t length = 1;
      while (length <= 4 && invalid + length <= utf8.size() && !ToUtf16(CP_UTF8, utf8.substr(invalid, length), utf16)) {
        ++length;
      }
      if (length > 4 || invalid + length > utf8.size()) break;
      invalid += length;
    }
    return false;
  }

  std::string CodePointsToUtf8(const std::u32string& text) override {
    return FromUtf16(CP_UTF8, CodePointsToUtf16(text));
  }

  bool EncodeCharacter(char32_t c, std::string& bytes) override {
    const std::wstring utf16 = CodePointsToUtf16(std::u32string(1, c));
    BOOL substituted = FALSE;
    char out[8];
    const int got = WideCharToMultiByte(page_, WC_NO_BEST_FIT_CHARS, utf16.data(), static_cast<int>(utf16.size()), out,
                                        sizeof out, nullptr, &substituted);
    if (got <= 0 || substituted) return false;
    bytes.assign(out, static_cast<std::size_t>(got));
    return true;
  }

  bool Decode(const std::string& bytes, std::u32string& text) override {
    std::wstring utf16;
    return ToUtf16(page_, bytes, utf16) && Utf16ToCodePoints(utf16, text);
  }

  char32_t Upper(char32_t c) override { return Map(c, LCMAP_UPPERCASE); }
  char32_t Lower(char32_t c) override { return Map(c, LCMAP_LOWERCASE); }

 private:
  static std::string FromUtf16(UINT page, const std::wstring& utf16) {
    if (utf16.empty()) return "";
    const int size = static_cast<int>(utf16.size());
    const int needed = WideCharToMultiByte(page, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return "";
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(page, 0, utf16.data(), size, &bytes[0], needed, nullptr, nullptr);
    return bytes;
  }

  static char32_t Map(char32_t c, DWORD how) {
    if (c > 0xFFFF) return c;
    const auto in = static_cast<wchar_t>(c);
    wchar_t out = in;
    return LCMapStringW(LOCALE_INVARIANT, how, &in, 1, &out, 1) == 1 ? static_cast<char32_t>(out) : c;
  }

  UINT page_ = 0;
};

}  // namespace

std::unique_ptr<SystemCodePage> OpenSystemCodePage(unsigned number, std::string& error) {
  auto page = std::make_unique<Win32CodePage>();
  if (!page->Open(number, error)) return nullptr;
  return page;
}

bool Utf16ToCodePoints(const std::wstring& utf16, std::u32string& text) {
  text.clear();
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const auto unit = static_cast<char32_t>(static_cast<std::uint16_t>(utf16[i]));
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit < 0xD800 || unit > 0xDBFF) {
      text += unit;
      continue;
    }
    if (i + 1 == utf16.size()) return false;
    const auto low = static_cast<char32_t>(static_cast<std::uint16_t>(utf16[i + 1]));
    if (low < 0xDC00 || low > 0xDFFF) return false;
    text += 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    ++i;
  }
  return true;
}

std::wstring CodePointsToUtf16(const std::u32string& text) {
  std::wstring utf16;
  for (char32_t c : text) {
    if (c < 0x10000) {
      utf16 += static_cast<wchar_t>(c);
    } else {
      utf16 += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      utf16 += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return utf16;
}
