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

}  // namespace
