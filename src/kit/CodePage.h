// The ANSI code page of the machines a kit is for. SETUP.EXE hands every
// name it takes from the archive, and the texts beside it, to the ANSI API,
// which reads them in the code page of the machine it runs on; the kit
// builder therefore writes them in that code page, converting from the build
// machine's own encoding (UTF-8 names and texts here, UTF-16 names on
// Windows) with the platform's converters: iconv, or WideCharToMultiByte and
// MultiByteToWideChar. Both builds of kitpack must give the same bytes, so
// everything where the two converters could differ is decided here, once:
//
// - A character is written only when it converts to bytes that convert back
//   to it alone; no best fit, no look-alike. C1 controls (U+0080 to U+009F)
//   and the private use area are never written: Windows gives the code
//   page's unassigned bytes and user-defined characters such meanings, iconv
//   does not.
// - Names are compared without case by folding each character to its
//   upper-case partner where the two are partners both ways (upper case of
//   the one is the other and lower case of that is the first again): Ä and ä
//   fold alike, while µ, ı, ſ and the final ς, whose upper-case forms belong
//   to other letters, stay apart, as they do in the Windows file systems.
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class SystemCodePage;

constexpr unsigned DEFAULT_CODE_PAGE = 1252;

// The code pages that kitpack writes, for messages: "874, 932, ...".
std::string SupportedCodePages();
bool IsSupportedCodePage(unsigned number);

class CodePage {
 public:
  CodePage();
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  // Opens the platform's converters. False, with the reason, for a code page
  // that kitpack does not write or that the platform cannot convert.
  bool Open(unsigned number, std::string& error);
  unsigned Number() const { return number_; }
  // One file or directory name as the build machine's file system gives it,
  // in the code page. False, with the problem (which names the character),
  // when the name is not valid Unicode or holds a character that the code
  // page lacks. In the double-byte code pages a character's second byte may
  // be that of a backslash: SETUP.EXE reads names as characters, and splits
  // only at a backslash that is one.
  bool NameFromSystem(const std::filesystem::path& component, std::string& bytes, std::string& problem) const;

  // Whether the bytes are valid UTF-8.
  bool IsUtf8(const std::string& bytes) const;

  // UTF-8 text in the code page, line ends and other controls included.
  // False, with the problem, when it is not valid UTF-8 or holds a character
  // the code page lacks; the problem says where (line and column).
  bool TextFromUtf8(const std::string& utf8, std::string& bytes, std::string& problem) const;

  // Bytes of the code page back in UTF-8. False, with the problem, when they
  // are not text in the code page.
  bool ToUtf8(const std::string& bytes, std::string& utf8, std::string& problem) const;

  // A name for messages and listings: in UTF-8, or, when its bytes are not
  // text in the code page, with every byte past 0x7F written as \xNN.
  std::string Display(const std::string& bytes) const;

  // What decides whether two names in the code page are one name to Windows:
  // equal keys for names equal without case. Bytes that are not text in the
  // code page fold only the ASCII letters that are characters of their own.
  std::string CaseKey(const std::string& bytes) const;

  // The components of a name in the code page: what lies between the
  // separators that stand as characters of their own (NameCharacters.h), a
  // leading one giving an empty first component. Always one at least.
  std::vector<std::string> NameComponents(const std::string& bytes) const;

 private:
  bool Encode(const std::u32string& text, bool name, std::string& bytes, std::string& problem) const;
  bool Decode(const std::string& bytes, std::u32string& text) const;

  std::unique_ptr<SystemCodePage> system_;
  unsigned number_ = 0;
};
