// What the platform gives the code page conversions: iconv and the C
// library's wide-character case mapping natively, the Win32 national
// language functions on Windows. CodePage builds its rules on these and on
// nothing else, so that both builds of kitpack follow the same rules.
#pragma once
#include <memory>
#include <string>

class SystemCodePage {
 public:
  virtual ~SystemCodePage() = default;
  // UTF-8 in code points; false when it is not valid UTF-8 (index of the
  // first byte that is not in invalid).
  virtual bool Utf8ToCodePoints(const std::string& utf8, std::u32string& text, std::size_t& invalid) = 0;
  virtual std::string CodePointsToUtf8(const std::u32string& text) = 0;
  // One character in the code page; false when the platform cannot write it
  // without a substitute.
  virtual bool EncodeCharacter(char32_t c, std::string& bytes) = 0;
  // Bytes of the code page in code points; false when they are not text in
  // it.
  virtual bool Decode(const std::string& bytes, std::u32string& text) = 0;
  // Simple case mappings of one character of the Basic Multilingual Plane.
  virtual char32_t Upper(char32_t c) = 0;
  virtual char32_t Lower(char32_t c) = 0;
};

// The platform's converters for the code page, or null with the reason.
std::unique_ptr<SystemCodePage> OpenSystemCodePage(unsigned number, std::string& error);

#ifdef _WIN32
// UTF-16, as Windows names are, in code points and back. False when a
// surrogate stands unpaired.
bool Utf16ToCodePoints(const std::wstring& utf16, std::u32string& text);
std::wstring CodePointsToUtf16(const std::u32string& text);
#endif
