#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "base/Format.h"

namespace {

TEST(FormatText, FitsOrSaysItDoesNot) {
  struct {
    const char* why;
    std::size_t size;
    const char* directory;
    bool fits;
    const char* holds;  // the buffer afterwards
  } rows[] = {
      {"room to spare", 16, "C:\\KI", true, "C:\\KI\\DATA.VNX"},
      {"the text and its NUL fill the buffer exactly", 16, "C:\\KIT", true, "C:\\KIT\\DATA.VNX"},
      {"one character too long: cut, and terminated", 16, "C:\\KITS", false, "C:\\KITS\\DATA.VN"},
      {"far too long: cut, and terminated", 8, "C:\\A VERY LONG DIRECTORY", false, "C:\\A VE"},
      {"a buffer of one byte holds the empty text", 1, "C:\\KIT", false, ""},
  };
  for (const auto& row : rows) {
    char buffer[32];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(FormatText(buffer, row.size, "%s\\%s", row.directory, "DATA.VNX"), row.fits) << row.why;
    EXPECT_STREQ(buffer, row.holds) << row.why;
    EXPECT_EQ(buffer[row.size], 'X') << row.why << ": wrote past the buffer";
  }
}

TEST(FormatText, AnEmptyBufferIsLeftAlone) {
  char buffer = 'X';
  EXPECT_FALSE(FormatText(&buffer, 0, "%s", "text"));
  EXPECT_EQ(buffer, 'X');
}

TEST(FormatText, PrecisionBoundsAField) {
  // The shortcut list's fields are spans of a line, given by length.
  char buffer[64];
  const char line[] = "Compiler,\\BIN\\QCC.EXE";
  ASSERT_TRUE(FormatText(buffer, sizeof buffer, "\"%.*s\"", 8, line));
  EXPECT_EQ(std::string(buffer), "\"Compiler\"");
}

// What msvcrt's _vsnprintf does with a text of that length in a buffer of
// size bytes, as its documentation has it: the whole text and a terminator
// when they fit; the whole text and no terminator when the text alone fills
// the buffer, giving its length; the first size characters and no
// terminator when it is longer, giving -1.
int MsvcrtFormat(char* buffer, std::size_t size, const std::string& text) {
  std::memcpy(buffer, text.data(), std::min(size, text.size()));
  if (text.size() < size) buffer[text.size()] = '\0';
  return text.size() <= size ? static_cast<int>(text.size()) : -1;
}

// SETUP.EXE formats through msvcrt, which this machine's C library does not
// act like; its results are judged by the same rule.
TEST(FormatText, MsvcrtResultsAreMadeGood) {
  struct {
    const char* why;
    std::size_t size;
    std::string text;
    bool fits;
    const char* holds;
  } rows[] = {
      {"room to spare", 16, "C:\\KI\\DATA.VNX", true, "C:\\KI\\DATA.VNX"},
      {"the text and its NUL fill the buffer exactly", 16, "C:\\KIT\\DATA.VNX", true, "C:\\KIT\\DATA.VNX"},
      {"the text alone fills it: no NUL, the length given", 16, "C:\\KITS\\DATA.VNX", false, "C:\\KITS\\DATA.VN"},
      {"longer: no NUL, -1 given", 16, "C:\\KITSS\\DATA.VNX", false, "C:\\KITSS\\DATA.V"},
      {"a buffer of one byte", 1, "C", false, ""},
  };
  for (const auto& row : rows) {
    char buffer[32];
    std::memset(buffer, 'X', sizeof buffer);
    const int length = MsvcrtFormat(buffer, row.size, row.text);
    EXPECT_EQ(FinishFormatted(buffer, row.size, length), row.fits) << row.why;
    EXPECT_STREQ(buffer, row.holds) << row.why;
    EXPECT_EQ(buffer[row.size], 'X') << row.why << ": wrote past the buffer";
  }
}

}  // namespace
