#include <gtest/gtest.h>
#include <string>

#include "payload/EntryName.h"

namespace {

constexpr NameTarget DEFAULT_TARGET = {10, 1252};  // "C:\QUENV98" on a Western machine

TEST(EntryNameTest, RefusesWhatLeavesTheDirectoryOrNamesADevice) {
  const NameFault ok = NameFault::None;
  struct {
    std::string name;
    NameFault fault;
    const char* why;
  } cases[] = {
      // Accepted
      {"README.TXT", ok, "plain file"},
      {"BIN\\QCC.EXE", ok, "file in a directory"},
      {"a/b/c.h", ok, "forward slashes separate too"},
      {"\\BIN\\QCC.EXE", ok, "one leading backslash is harmless"},
      {"/BIN/QCC.EXE", ok, "one leading slash is harmless"},
      {"a..b", ok, "two dots inside a component"},
      {"..x", ok, "dots at the start of a longer component"},
      {".cfg", ok, "leading dot"},
      {"COM10", ok, "COM with two digits is no device"},
      {"LPT", ok, "LPT alone is no device"},
      {"CONSOLE.TXT", ok, "device name as a prefix of a longer stem"},
      {"NULL", ok, "NUL as a prefix"},
      {"XCON", ok, "device name as a suffix"},
      {"dir\\CONFIG.SYS", ok, "CON as a prefix"},
      {"COMX", ok, "COM with a letter"},
      {"LPT\xb9\x30", ok, "superscript with a digit after it"},
      {" a", ok, "leading space"},
      {"caf\xe9.txt", ok, "bytes above 127"},
      {"OLD\\DATA.VNX", ok, "the archive's name below a directory"},
      {"DATA.VNX2", ok, "a near miss of the archive's name"},
      {"DATA\\X.TXT", ok, "a near miss of the archive's name as a directory"},
      // Refused: outside the directory
      {"", NameFault::EmptyComponent, "empty name"},
      {"\\", NameFault::EmptyComponent, "only a separator"},
      {"..", NameFault::DotOrSpaceEnding, "parent"},
      {"..\\x", NameFault::DotOrSpaceEnding, "parent first"},
      {"a\\..\\..\\x", NameFault::DotOrSpaceEnding, "parent inside"},
      {"a/../x", NameFault::DotOrSpaceEnding, "parent between slashes"},
      {"a\\..", NameFault::DotOrSpaceEnding, "parent last"},
      {".", NameFault::DotOrSpaceEnding, "current directory"},
      {"a\\.\\b", NameFault::DotOrSpaceEnding, "current directory inside"},
      {"a\\\\b", NameFault::EmptyComponent, "empty component"},
      {"a\\", NameFault::EmptyComponent, "trailing separator"},
      {"a/", NameFault::EmptyComponent, "trailing slash"},
      {"\\\\server\\share\\x", NameFault::EmptyComponent, "UNC"},
      {"//server/share/x", NameFault::EmptyComponent, "UNC with slashes"},
      {"\\/x", NameFault::EmptyComponent, "mixed double separator"},
      {"\\\\?\\C:\\x", NameFault::ReservedCharacter, "long-path namespace"},
      {"\\\\.\\PhysicalDrive0", NameFault::EmptyComponent, "device namespace"},
      {"C:\\x", NameFault::ReservedCharacter, "drive"},
      {"C:x", NameFault::ReservedCharacter, "drive-relative"},
      {"a.txt:stream", NameFault::ReservedCharacter, "alternate data stream"},
      // Refused: characters no Windows file name holds
      {"DOC\\A?B.TXT", NameFault::ReservedCharacter, "question mark"},
      {"DOC\\A*B.TXT", NameFault::ReservedCharacter, "asterisk"},
      {"DOC\\A<B.TXT", NameFault::ReservedCharacter, "less-than sign"},
      {"DOC\\A>B.TXT", NameFault::ReservedCharacter, "greater-than sign"},
      {"DOC\\A|B.TXT", NameFault::ReservedCharacter, "vertical bar"},
      {"DOC\\A\"B.TXT", NameFault::ReservedCharacter, "quotation mark"},
      {"A|B\\C.TXT", NameFault::ReservedCharacter, "in a directory's name"},
      // Refused: names Windows rewrites when it opens them
      {"a.", NameFault::DotOrSpaceEnding, "trailing dot"},
      {"a\\b.\\c", NameFault::DotOrSpaceEnding, "trailing dot on a directory"},
      {"...", NameFault::DotOrSpaceEnding, "only dots"},
      {"a ", NameFault::DotOrSpaceEnding, "trailing space"},
      {"dir \\x", NameFault::DotOrSpaceEnding, "trailing space on a directory"},
      // Refused: control characters
      {"a\tb", NameFault::ControlCharacter, "tab"},
      {"a\nb", NameFault::ControlCharacter, "line feed"},
      {"\x01", NameFault::ControlCharacter, "code 1"},
      {"a\x1f", NameFault::ControlCharacter, "code 31"},
      {"a\x7f\x62", NameFault::ControlCharacter, "DEL"},
      // Refused: devices
      {"CON", NameFault::DeviceName, "console"},
      {"con", NameFault::DeviceName, "lower case"},
      {"Prn", NameFault::DeviceName, "mixed case"},
      {"AUX.H", NameFault::DeviceName, "extension does not help"},
      {"NUL.txt", NameFault::DeviceName, "null device with an extension"},
      {"nul.tar.gz", NameFault::DeviceName, "stem ends at the first dot"},
      {"NUL  .txt", NameFault::DeviceName, "spaces before the dot"},
      {"CON .x", NameFault::DeviceName, "one space before the dot"},
      {"CONIN$", NameFault::DeviceName, "console input"},
      {"conout$.log", NameFault::DeviceName, "console output"},
      {"COM0", NameFault::DeviceName, "COM0"},
      {"COM9.DAT", NameFault::DeviceName, "COM9"},
      {"lpt1", NameFault::DeviceName, "LPT1"},
      {"LPT0", NameFault::DeviceName, "LPT0"},
      {"sub\\AUX\\file.txt", NameFault::DeviceName, "device as a directory"},
      {"a\\b\\PRN", NameFault::DeviceName, "device as the last component"},
      {"a/NUL/b", NameFault::DeviceName, "device between slashes"},
      // Refused: the archive's own place
      {"DATA.VNX", NameFault::ArchiveName, "the archive's own name"},
      {"data.vnx", NameFault::ArchiveName, "in lower case"},
      {"\\Data.Vnx", NameFault::ArchiveName, "after the one leading separator"},
      {"Data.Vnx\\README.TXT", NameFault::ArchiveName, "as a directory, which cannot be made where the archive lies"},
      {"DATA.VNX/X/Y", NameFault::ArchiveName, "as a directory, with slashes"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckEntryName(c.name.c_str(), DEFAULT_TARGET), c.fault) << c.why << ": \"" << c.name << "\"";
  }
  EXPECT_EQ(CheckEntryName(nullptr, DEFAULT_TARGET), NameFault::EmptyComponent);
}

// Windows reads a name's bytes in the machine's ANSI code page: what a byte
// is, and so whether COM or LPT with it names a port, whether it is a
// character no file name holds, or whether it separates, depends on the code
// page.
TEST(EntryNameTest, CharactersAreReadInTheCodePage) {
  const NameFault ok = NameFault::None;
  const NameFault device = NameFault::DeviceName;
  struct {
    unsigned codePage;
    std::string name;
    NameFault fault;
    const char* why;
  } cases[] = {
      {1252, "COM\xb9", device, "superscript one in Western European"},
      {1252, "LPT\xb2.x", device, "superscript two, with an extension"},
      {1252, "com\xb3", device, "superscript three, lower case"},
      {1254, "COM\xb2", device, "Turkish has the superscripts where 1252 has them"},
      {1257, "LPT\xb9", device, "and Baltic"},
      {1253, "COM\xb2", device, "Greek has a superscript two"},
      {1253, "COM\xb9.TXT", ok, "but 0xB9 is a Greek capital there"},
      {932, "COM\xb2.txt", ok, "0xB2 is a half-width katakana in Japanese"},
      {1250, "COM\xb3.TXT", ok, "0xB3 is l with a stroke in Central European"},
      {1250, "LPT\xb9", ok, "0xB9 is a with an ogonek"},
      {1251, "LPT\xb2", ok, "0xB2 is a Cyrillic I"},
      {1251, "COM\xb9", ok, "0xB9 is the numero sign"},
      {936, "COM\xb2\xb9.TXT", ok, "0xB2 starts a Chinese character"},
      {949, "COM\xa9\xf6", device, "Korean writes the superscript one in two bytes"},
      {949, "LPT\xa9\xf8.x", device, "and the superscript three"},
      {949, "COM\xa9\xf5", ok, "but not the character before them"},
      {65001, "COM\xc2\xb9", device, "superscript one in UTF-8"},
      {65001, "COM\xb9", ok, "a lone byte is no character in UTF-8"},
      {932, "\x83\x7c.TXT", ok, "a katakana whose second byte is 0x7C, no vertical bar"},
      {936, "\xb0\x7c\\A.TXT", ok, "a Chinese character whose second byte is 0x7C"},
      {950, "\xa4\x7c.TXT", ok, "a traditional Chinese one"},
      {1252, "\x83\x7c.TXT", NameFault::ReservedCharacter, "0x83 stands alone in 1252: the 0x7C is a bar"},
      {932, "\xb2\x7c.TXT", NameFault::ReservedCharacter, "a half-width katakana stands alone"},
      {949, "\xb0\x7c.TXT", NameFault::ReservedCharacter, "0x7C cannot follow a lead byte in Korean"},
      {932, "\x83:x", NameFault::ReservedCharacter, "a colon cannot be a second byte"},
      // Only a backslash or a slash that is a character of its own
      // separates: in 932, 936 and 950 the second byte of a character may
      // be 0x5C. A character cut short is refused, as the platform would
      // read it as another or none.
      {932, "\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt", ok, "ソフト\\表示.txt"},
      {932, "\x95\x5C", ok, "表 alone: its 0x5C ends no component"},
      {1252, "\x95\x5C", NameFault::EmptyComponent, "in 1252 the same bytes end with a separator"},
      {932, "\xB2\\\xB2", ok, "half-width katakana on both sides of a separator"},
      {932, "\x83\x5C\\CON", NameFault::DeviceName, "a device below a directory whose name ends in 0x5C"},
      {932, "\x83\x5C\\\\x", NameFault::EmptyComponent, "two separators after it"},
      {936, "\x81\x5C\\\xD6\xD0.txt", ok, "Simplified Chinese"},
      {950, "\xA5\x5C\xAF\xE0\\\xB3\x5C.txt", ok, "功能\\許.txt"},
      {949, "\xB0\x5C.txt", NameFault::BrokenCharacter, "0x5C cannot be a second byte in Korean"},
      {932, "\x83", NameFault::BrokenCharacter, "a lead byte at the very end"},
      {932, "A\\\x83", NameFault::BrokenCharacter, "a lead byte at the end of a directory's file"},
      {936, "\x81\x7F.txt", NameFault::ControlCharacter, "0x7F cannot be a second byte, and is DEL"},
      {932, "\x83\x20.txt", NameFault::BrokenCharacter, "nor can a space"},
      {1252, "\x83", ok, "a byte of its own in 1252"},
  };
  for (const auto& c : cases) {
    const NameTarget target = {10, c.codePage};
    EXPECT_EQ(CheckEntryName(c.name.c_str(), target), c.fault) << c.codePage << ", " << c.why;
  }
}

// A file's whole path may have 259 characters; the platform creates no
// directory whose path has more than 247.
TEST(EntryNameTest, PathsFitThePlatformsLimits) {
  const NameFault ok = NameFault::None;
  const std::string d236(236, 'd');
  struct {
    std::size_t directory;
    std::string name;
    NameFault fault;
    long longest;  // LongestDirectoryFor the name
    const char* why;
    unsigned codePage = 1252;
  } cases[] = {
      {10, std::string(248, 'f'), ok, 10, "a file's path of 259 characters"},
      {10, std::string(249, 'f'), NameFault::PathTooLong, 9, "a file's path of 260"},
      {0, std::string(258, 'f'), ok, 0, "below an empty directory: 259"},
      {0, std::string(259, 'f'), NameFault::PathTooLong, -1, "below an empty directory: 260"},
      {10, d236 + "\\F", ok, 10, "a directory's path of 247 characters"},
      {10, d236 + "d\\F", NameFault::DirectoryTooLong, 9, "a directory's path of 248"},
      {10, "\\" + d236 + "d\\F", NameFault::DirectoryTooLong, 9, "the leading separator is no part of it"},
      {10, "\\" + d236 + "\\F", ok, 10, "247 after the leading separator"},
      {11, d236 + "\\F", NameFault::DirectoryTooLong, 10, "the directory counts"},
      {10, std::string(100, 'a') + "\\" + std::string(135, 'b') + "\\F", ok, 10, "the deepest directory counts"},
      {10, std::string(100, 'a') + "\\" + std::string(136, 'b') + "\\F", NameFault::DirectoryTooLong, 9, "one more"},
      {240, "\\F.TXT", ok, 252, "a leading separator alone makes no directory"},
      {10, d236 + "\\" + std::string(11, 'f'), ok, 10, "the file's path of 259 below a directory of 247"},
      {10, d236 + "\\" + std::string(12, 'f'), NameFault::PathTooLong, 9, "one more"},
      // 245 bytes, 表 and F: a file's name of 248 bytes in 932, but in 1252 a
      // directory of 246 with the file F in it.
      {10, std::string(245, 'd') + "\x95\x5C" + "F", ok, 10, "no directory where 0x5C is a second byte", 932},
      {10, std::string(245, 'd') + "\x95\x5C" + "F", NameFault::DirectoryTooLong, 0, "the same bytes in 1252", 1252},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckEntryName(c.name.c_str(), {c.directory, c.codePage}), c.fault) << c.why;
    EXPECT_EQ(LongestDirectoryFor(c.name.c_str(), c.codePage), c.longest) << c.why;
  }
}

}  // namespace
