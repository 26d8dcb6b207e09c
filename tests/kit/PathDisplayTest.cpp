// Names as messages show them: UTF-16 that no encoding can hold is shown by
// its code units, never converted, so that the message that reports such a
// name can always be made.
#include <gtest/gtest.h>

#include "kit/PathDisplay.h"

namespace {

TEST(PathDisplay, Utf16IsShownInUtf8AndUnpairedSurrogatesByTheirCodeUnits) {
  struct {
    const char* why;
    std::u16string units;
    const char* shown;
  } rows[] = {
      {"ASCII", u"BIN\\QCC.EXE", "BIN\\QCC.EXE"},
      {"letters of two and three bytes in UTF-8", u"Caf\u00E9 \u20AC", "Caf\xC3\xA9 \xE2\x82\xAC"},
      {"a pair: one character past the Basic Multilingual Plane", u"\U0001F600.txt", "\xF0\x9F\x98\x80.txt"},
      {"a high surrogate alone", std::u16string(u"a") + char16_t(0xD800) + u"b.txt", "a\\uD800b.txt"},
      {"a low surrogate alone", std::u16string(u"x") + char16_t(0xDFFF), "x\\uDFFF"},
      {"a high surrogate at the end", std::u16string(u"x") + char16_t(0xDBFF), "x\\uDBFF"},
      {"a low surrogate before a high one: two alone", std::u16string(1, char16_t(0xDC00)) + char16_t(0xD800),
       "\\uDC00\\uD800"},
  };
  for (const auto& row : rows) EXPECT_EQ(DisplayUtf16(row.units), row.shown) << row.why;
}

}  // namespace
