// The code page conversions through iconv, and case through the C library's
// wide-character mappings in its built-in UTF-8 locale.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <cstring>

#include "kit/CodePageSystem.h"

namespace {

class Iconv {
 public:
  Iconv() = default;
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  ~Iconv() {
    if (handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(handle_);
  }

  bool Open(const std::string& to, const std::string& from, std::string& error) {
    handle_ = iconv_open(to.c_str(), from.c_str());
    if (handle_ != reinterpret_cast<iconv_t>(-1)) return true;
    error = "iconv cannot convert from " + from + " to " + to + ": " + std::strerror(errno);
    return false;
  }

  // Converts all of the input. False when some of it cannot be converted;
  // consumed then tells how many bytes of it were.
  bool Convert(const char* data, std::size_t size, std::string& out, std::size_t& consumed) {
    out.clear();
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    char buffer[4096];
    for (;;) {
      char* to = buffer;
      std::size_t toLeft = sizeof buffer;
      const std::size_t result = iconv(handle_, inLeft > 0 ? &in : nullptr, &inLeft, &to, &toLeft);
      out.append(buffer, static_cast<std::size_t>(to - buffer));
      consumed = size - inLeft;
      if (result != static_cast<std::size_t>(-1)) {
        if (inLeft == 0) return true;
      } else if (errno != E2BIG) {
        return false;
      }
    }
  }

 private:
  iconv_t handle_ = reinterpret_cast<iconv_t>(-1);
};

// Code points travel as UTF-32 in the machine's byte order, which iconv
// calls UTF-32LE or UTF-32BE; plain "UTF-32" would add a byte-order mark.
constexpr const char* UTF32 = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? "UTF-32LE" : "UTF-32BE";

std::u32string AsCodePoints(const std::string& utf32) {
  std::u32string text(utf32.size() / sizeof(char32_t), U'\0');
  std::memcpy(&text[0], utf32.data(), text.size() * sizeof(char32_t));
  return text;
}

class IconvCodePage : public SystemCodePage {
 public:
  ~IconvCodePage() override {
    if (utf8Locale_ != static_cast<locale_t>(0)) freelocale(utf8Locale_);
  }

  bool Open(unsigned number, std::string& error) {
    const std::string page = "CP" + std::to_string(number);
    if (!fromUtf8_.Open(UTF32, "UTF-8", error) || !toUtf8_.Open("UTF-8", UTF32, error) ||
        !encode_.Open(page, UTF32, error) || !decode_.Open(UTF32, page, error)) {
      return false;
    }
    // C.UTF-8 is built into the C library, whatever locales are installed.
    utf8Locale_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8Locale_ == static_cast<locale_t>(0)) {
      error = std::string("the C library has no C.UTF-8 locale for case mapping: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

  bool Utf8ToCodePoints(const std::string& utf8, std::u32string& text, std::size_t& invalid) override {
    std::string utf32;
    if (!fromUtf8_.Convert(utf8.data(), utf8.size(), utf32, invalid)) return false;
    text = AsCodePoints(utf32);
    return true;
  }

  std::string CodePointsToUtf8(const std::u32string& text) override {
    std::string utf8;
    std::size_t consumed = 0;
    toUtf8_.Convert(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char32_t), utf8, consumed);
    return utf8;
  }

  bool EncodeCharacter(char32_t c, std::string& bytes) override {
    std::size_t consumed = 0;
    return encode_.Convert(reinterpret_cast<const char*>(&c), sizeof c, bytes, consumed);
  }

  bool Decode(const std::string& bytes, std::u32string& text) override {
    std::string utf32;
    std::size_t consumed = 0;
    if (!decode_.Convert(bytes.data(), bytes.size(), utf32, consumed)) return false;
    text = AsCodePoints(utf32);
    return true;
  }

  char32_t Upper(char32_t c) override {
    return c > 0xFFFF ? c : static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8Locale_));
  }
  char32_t Lower(char32_t c) override {
    return c > 0xFFFF ? c : static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8Locale_));
  }

 private:
  Iconv fromUtf8_, toUtf8_, encode_, decode_;
  locale_t utf8Locale_ = static_cast<locale_t>(0);
};

}  // namespace

std::unique_ptr<SystemCodePage> OpenSystemCodePage(unsigned number, std::string& error) {
  auto page = std::make_unique<IconvCodePage>();
  if (!page->Open(number, error)) return nullptr;
  return page;
}
