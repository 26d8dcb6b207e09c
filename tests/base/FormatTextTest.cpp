#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "base/Format.h"

namespace {

// The archive's path joined in a buffer of size bytes: whether it fits, and
// what the buffer holds afterwards.
struct Row {
  const char* why;
  std::size_t size;
  const char* directory;
  bool fits;
  const char* holds;
};

const Row ROWS[] = {
    {"room to spare", 16, "C:\\KI", true, "C:\\KI\\DATA.VNX"},
    {"the text and its NUL fill the buffer exactly", 16, "C:\\KIT", true, "C:\\KIT\\DATA.VNX"},
    {"one character too long: cut, and terminated", 16, "C:\\KITS", false, "C:\\KITS\\DATA.VN"},
    {"far too long: cut, and terminated", 8, "C:\\A VERY LONG DIRECTORY", false, "C:\\A VE"},
    {"a buffer of one byte holds the empty text", 1, "C:\\KIT", false, ""},
};

// Runs the formatting on a buffer with bytes to spare after the size given,
// and checks the row's outcome and that nothing was written past it.
void ExpectRow(const Row& row, bool (*format)(char* buffer, const Row& row)) {
  char buffer[32];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(format(buffer, row), row.fits) << row.why;
  EXPECT_STREQ(buffer, row.holds) << row.why;
  EXPECT_EQ(buffer[row.size], 'X') << row.why << ": wrote past the buffer";
}

TEST(FormatText, FitsOrSaysItDoesNot) {
  for (const Row& row : ROWS) {
    ExpectRow(row,
              [](char* buffer, const Row& r) { return FormatText(buffer, r.size, "%s\\%s", r.directory, "DATA.VNX"); });
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

// What msvcrt's _vsnprintf does with a text in a buffer of size bytes, as
// its documentation has it: the whole text and a terminator when they fit;
// the whole text and no terminator when the text alone fills the buffer,
// giving its length; the first size characters and no terminator when it is
// longer, giving -1.
int MsvcrtFormat(char* buffer, std::size_t size, const std::string& text) {
  std::memcpy(buffer, text.data(), std::min(size, text.size()));
  if (text.size() < size) buffer[text.size()] = '\0';
  return text.size() <= size ? static_cast<int>(text.size()) : -1;
}

// SETUP.EXE formats through msvcrt, which this machine's C library does not
// act like; its results are judged by the same rule, to the same outcome.
TEST(FormatText, MsvcrtResultsAreMadeGood) {
  for (const Row& row : ROWS) {
    ExpectRow(row, [](char* buffer, const Row& r) {
      return FinishFormatted(buffer, r.size, MsvcrtFormat(buffer, r.size, std::string(r.directory) + "\\DATA.VNX"));
    });
  }
}

}  // namespace
