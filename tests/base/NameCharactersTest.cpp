// Names read as characters of a code page: where each character starts,
// where the first separator stands, and where a character is cut short. One
// table per code page; each row's bytes are the whole text.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "base/NameCharacters.h"

namespace {

struct Row {
  std::string text;
  std::vector<std::size_t> starts;  // of every character, in order
  std::size_t separator;            // FindNameSeparator
  std::size_t broken;               // FindBrokenCharacter
  const char* why;
};

void CheckRows(unsigned codePage, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < row.text.size();
         i += CharacterLength(codePage, row.text.data() + i, row.text.size() - i)) {
      starts.push_back(i);
    }
    EXPECT_EQ(starts, row.starts) << codePage << ", " << row.why;
    EXPECT_EQ(FindNameSeparator(codePage, row.text.data(), row.text.size()), row.separator)
        << codePage << ", " << row.why;
    EXPECT_EQ(FindBrokenCharacter(codePage, row.text.data(), row.text.size()), row.broken)
        << codePage << ", " << row.why;
  }
}

TEST(NameCharactersTest, Japanese932) {
  CheckRows(932, {
                     {"\x83\x5C", {0}, 2, 2, "ソ: its second byte is 0x5C, and it is no separator"},
                     {"\x95\x5C\\A", {0, 2, 3}, 2, 4, "表, then a backslash that is one"},
                     {"\x83\x5C\x83\x74\x83\x67", {0, 2, 4}, 6, 6, "ソフト"},
                     {"\xB2\\A", {0, 1, 2}, 1, 3, "a half-width katakana takes one byte"},
                     {"\xA0\\", {0, 1}, 1, 2, "0xA0 begins no character"},
                     {"\xE0\x40\xFC\xFC", {0, 2}, 4, 4, "the ends of the ranges"},
                     {"\xFD\x5C", {0, 1}, 1, 2, "0xFD begins no character"},
                     {"\x81/", {0, 1}, 1, 0, "a slash cannot be a second byte: it separates, the 0x81 is cut short"},
                     {"\x83\x7F", {0, 1}, 2, 0, "0x7F cannot be a second byte"},
                     {"A\x83", {0, 1}, 2, 1, "a lead byte last"},
                 });
}

TEST(NameCharactersTest, SimplifiedChinese936) {
  CheckRows(936, {
                     {"\x81\x5C", {0}, 2, 2, "a character whose second byte is 0x5C"},
                     {"\xD6\xD0\\\xCE\xC4", {0, 2, 3}, 2, 5, "中\\文"},
                     {"\xFE\xFE", {0}, 2, 2, "the ends of the ranges"},
                     {"\x80\\", {0, 1}, 1, 2, "0x80 is a character of one byte"},
                     {"\x81\x7F", {0, 1}, 2, 0, "0x7F cannot be a second byte"},
                 });
}

TEST(NameCharactersTest, Korean949) {
  CheckRows(949, {
                     {"\xB0\xA1", {0}, 2, 2, "가"},
                     {"\x81\x41\x81\x7A", {0, 2}, 4, 4, "second bytes among the letters"},
                     {"\xB0\x5C", {0, 1}, 1, 0, "0x5C cannot be a second byte: it separates, the 0xB0 is cut short"},
                     {"\x81\x5B", {0, 1}, 2, 0, "nor 0x5B, between the letters"},
                 });
}

TEST(NameCharactersTest, TraditionalChinese950) {
  CheckRows(950, {
                     {"\xA5\x5C\xAF\xE0", {0, 2}, 4, 4, "功能: 功's second byte is 0x5C"},
                     {"\xA5\x5C\\\xB3\x5C", {0, 2, 3}, 2, 5, "功, a backslash, 許"},
                     {"\x81\xA1", {0}, 2, 2, "the user-defined characters read as characters too"},
                     {"\xA1\x80", {0, 1}, 2, 0, "0x80 cannot be a second byte"},
                 });
}

TEST(NameCharactersTest, SingleByteCodePagesReadEveryByteAsACharacter) {
  for (unsigned codePage : {1252u, 1251u, 874u, 65001u}) {
    CheckRows(codePage, {
                            {"\x95\x5C", {0, 1}, 1, 2, "0x95 stands alone: the 0x5C separates"},
                            {"\x83/x", {0, 1, 2}, 1, 3, "and so does a slash"},
                            {"\xC2\xB9\xFF", {0, 1, 2}, 3, 3, "nothing is cut short"},
                        });
  }
}

// A span is read only up to its end, even where the bytes go on.
TEST(NameCharactersTest, ASpanThatEndsAfterALeadByteEndsThere) {
  const char text[] = "\x95\x5C";
  EXPECT_EQ(CharacterLength(932, text, 1), 1u);
  EXPECT_EQ(FindNameSeparator(932, text, 1), 1u);
  EXPECT_EQ(FindBrokenCharacter(932, text, 1), 0u);
}

}  // namespace
