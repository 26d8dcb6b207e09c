#include <gtest/gtest.h>
#include <string>

#include "payload/EntryName.h"

namespace {

TEST(IsSafeEntryNameTest, RefusesWhatLeavesTheDirectoryOrNamesADevice) {
  struct {
    std::string name;
    bool safe;
    const char* why;
  } cases[] = {
      // Accepted
      {"README.TXT", true, "plain file"},
      {"BIN\\QCC.EXE", true, "file in a directory"},
      {"a/b/c.h", true, "forward slashes separate too"},
      {"\\BIN\\QCC.EXE", true, "one leading backslash is harmless"},
      {"/BIN/QCC.EXE", true, "one leading slash is harmless"},
      {"a..b", true, "two dots inside a component"},
      {"..x", true, "dots at the start of a longer component"},
      {".cfg", true, "leading dot"},
      {"COM10", true, "COM with two digits is no device"},
      {"LPT", true, "LPT alone is no device"},
      {"CONSOLE.TXT", true, "device name as a prefix of a longer stem"},
      {"NULL", true, "NUL as a prefix"},
      {"XCON", true, "device name as a suffix"},
      {"dir\\CONFIG.SYS", true, "CON as a prefix"},
      {"COMX", true, "COM with a letter"},
      {"LPT\xb9\x30", true, "superscript with a digit after it"},
      {" a", true, "leading space"},
      {"caf\xe9.txt", true, "bytes above 127"},
      {std::string(300, 'a'), true, "length is not this rule's business"},
      // Refused: outside the directory
      {"", false, "empty name"},
      {"\\", false, "only a separator"},
      {"..", false, "parent"},
      {"..\\x", false, "parent first"},
      {"a\\..\\..\\x", false, "parent inside"},
      {"a/../x", false, "parent between slashes"},
      {"a\\..", false, "parent last"},
      {".", false, "current directory"},
      {"a\\.\\b", false, "current directory inside"},
      {"a\\\\b", false, "empty component"},
      {"a\\", false, "trailing separator"},
      {"a/", false, "trailing slash"},
      {"\\\\server\\share\\x", false, "UNC"},
      {"//server/share/x", false, "UNC with slashes"},
      {"\\/x", false, "mixed double separator"},
      {"\\\\?\\C:\\x", false, "long-path namespace"},
      {"\\\\.\\PhysicalDrive0", false, "device namespace"},
      {"C:\\x", false, "drive"},
      {"C:x", false, "drive-relative"},
      {"a.txt:stream", false, "alternate data stream"},
      {"a:", false, "colon at the end"},
      // Refused: names Windows rewrites when it opens them
      {"a.", false, "trailing dot"},
      {"a\\b.\\c", false, "trailing dot on a directory"},
      {"...", false, "only dots"},
      {"a ", false, "trailing space"},
      {"dir \\x", false, "trailing space on a directory"},
      // Refused: control characters
      {"a\tb", false, "tab"},
      {"a\nb", false, "line feed"},
      {"\x01", false, "code 1"},
      {"a\x1f", false, "code 31"},
      {"a\x7f\x62", false, "DEL"},
      // Refused: devices
      {"CON", false, "console"},
      {"con", false, "lower case"},
      {"Prn", false, "mixed case"},
      {"AUX.H", false, "extension does not help"},
      {"NUL.txt", false, "null device with an extension"},
      {"nul.tar.gz", false, "stem ends at the first dot"},
      {"NUL  .txt", false, "spaces before the dot"},
      {"CON .x", false, "one space before the dot"},
      {"CONIN$", false, "console input"},
      {"conout$.log", false, "console output"},
      {"COM0", false, "COM0"},
      {"COM9.DAT", false, "COM9"},
      {"lpt1", false, "LPT1"},
      {"LPT0", false, "LPT0"},
      {"COM\xb9", false, "COM superscript one"},
      {"LPT\xb2.x", false, "LPT superscript two"},
      {"com\xb3", false, "COM superscript three"},
      {"COM\xc2\xb9", false, "superscript one in UTF-8"},
      {"sub\\AUX\\file.txt", false, "device as a directory"},
      {"a\\b\\PRN", false, "device as the last component"},
      {"a/NUL/b", false, "device between slashes"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSafeEntryName(c.name.c_str()), c.safe) << c.why << ": \"" << c.name << "\"";
  }
  EXPECT_FALSE(IsSafeEntryName(nullptr));
}

}  // namespace
