// Names and texts in the target machines' code page: what each code page
// writes, what it refuses and why, and which names fold alike.
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "TestCodePages.h"
#include "base/NameCharacters.h"
#include "kit/CodePage.h"

namespace {

TEST(CodePageTest, NamesAreWrittenInTheCodePageOrRefusedNamingTheCharacter) {
  struct {
    unsigned page;
    const char* why;
    std::string name;   // UTF-8, as the file system gives it
    std::string bytes;  // written; empty when refused
    const char* problem;
  } rows[] = {
      {1252, "accented Latin", "Café.txt", "Caf\xE9.txt", ""},
      {1252, "where 1252 and ISO 8859-1 differ", "€uro — Œuvre", "\x80uro \x97 \x8Cuvre", ""},
      {1252, "a character 1252 lacks", "日本.txt", "", "the name holds U+65E5 (日), which code page 1252 lacks"},
      {1252, "a combining accent, as decomposed names carry", "Cafe\xCC\x81.txt", "", "U+0301"},
      {1252, "a C1 control, which Windows would map to an unassigned byte", "a\xC2\x81", "", "U+0081, which"},
      {1252, "the private use area", "a\xEE\x80\x80", "", "U+E000"},
      {1252, "not UTF-8", "Caf\xE9.txt", "", "the name is not valid UTF-8 (byte 4)"},
      {1251, "Cyrillic", "Ёлка", "\xA8\xEB\xEA\xE0", ""},
      {1251, "Latin accents are not Cyrillic", "Café", "", "U+00E9 (é), which code page 1251 lacks"},
      {1250, "Central European", "Łódź", "\xA3\xF3\x64\x9F", ""},
      {1253, "Greek", "Ωμέγα", "\xD9\xEC\xDD\xE3\xE1", ""},
      {1254, "Turkish", "ığşİ", "\xFD\xF0\xFE\xDD", ""},
      {1257, "Baltic", "Ąžuolas", "\xC0\xFEuolas", ""},
      {874, "Thai", "ภาษา", "\xC0\xD2\xC9\xD2", ""},
      {1256, "Arabic", "كتاب", "\xDF\xCA\xC7\xC8", ""},
      {932, "Japanese", "ア.txt", "\x83\x41.txt", ""},
      {932, "a second byte 0x5C, which setup reads as part of the character", "表.txt", "\x95\x5C.txt", ""},
      // iconv writes these as 0x5C and 0x81 0x5C, which read back as other
      // characters: Windows does not write them at all.
      {932, "a yen sign that would come back as a backslash", "\xC2\xA5", "", "U+00A5 (¥), which code page 932 lacks"},
      {932, "an em dash that would come back as a horizontal bar", "a—b", "", "U+2014 (—), which code page 932 lacks"},
      {936, "Simplified Chinese", "中文", "\xD6\xD0\xCE\xC4", ""},
      {936, "a second byte 0x5C", "乗", "\x81\x5C", ""},
      {950, "Traditional Chinese, 功 ending in 0x5C", "功能.txt", "\xA5\x5C\xAF\xE0.txt", ""},
      {950, "a box-drawing character that iconv and Windows write differently", "a═", "",
       "U+2550 (═), which code page 950 writes in two ways (0xA2 0xA4 and 0xF9 0xF9)"},
      {949, "Korean", "한글", "\xC7\xD1\xB1\xDB", ""},
  };
  for (const auto& row : rows) {
    std::string bytes;
    std::string problem;
    const bool written = OpenedCodePage(row.page).NameFromSystem(row.name, bytes, problem);
    EXPECT_EQ(written, !row.bytes.empty()) << row.page << ", " << row.why << ": " << problem;
    if (written) {
      EXPECT_EQ(bytes, row.bytes) << row.page << ", " << row.why;
      std::string back;
      EXPECT_TRUE(OpenedCodePage(row.page).ToUtf8(bytes, back, problem)) << row.why << ": " << problem;
      EXPECT_EQ(back, row.name) << row.page << ", " << row.why << ": read back";
    } else {
      EXPECT_NE(problem.find(row.problem), std::string::npos) << row.page << ", " << row.why << ": " << problem;
    }
  }
}

TEST(CodePageTest, TextsKeepTheirControlsAndARefusalSaysWhere) {
  struct {
    const char* why;
    std::string utf8;
    std::string bytes;  // written; empty when refused
    const char* problem;
  } rows[] = {
      {"line ends, tabs and a Ctrl+Z stay", "Licence\r\n\t— Œuvre\x1A", "Licence\r\n\t\x97 \x8Cuvre\x1A", ""},
      {"a character 1252 lacks, on the second line", "Licence\r\nSee 日本\r\n", "",
       "line 2, column 5: U+65E5 (日), which code page 1252 lacks"},
      {"not UTF-8", "Licence \xE9\r\n", "", "not valid UTF-8 at byte 9"},
  };
  for (const auto& row : rows) {
    std::string bytes;
    std::string problem;
    const bool written = OpenedCodePage().TextFromUtf8(row.utf8, bytes, problem);
    EXPECT_EQ(written, !row.bytes.empty()) << row.why << ": " << problem;
    if (written) {
      EXPECT_EQ(bytes, row.bytes) << row.why;
    } else {
      EXPECT_NE(problem.find(row.problem), std::string::npos) << row.why << ": " << problem;
    }
  }
}

TEST(CodePageTest, BytesTheCodePageDoesNotDefineAreShownEscaped) {
  struct {
    unsigned page;
    std::string bytes;
    std::string shown;
    bool text;
  } rows[] = {
      {1252, "DOC\\Caf\xE9.txt", "DOC\\Café.txt", true},
      {1252, "a\x81z", "a\\x81z", false},           // unassigned in 1252
      {1251, "a\x81z", "aЃz", true},                // the same byte in 1251
      {932, "\x83\x41\x83", "\\x83A\\x83", false},  // a lead byte at the end
  };
  for (const auto& row : rows) {
    const CodePage& page = OpenedCodePage(row.page);
    EXPECT_EQ(page.Display(row.bytes), row.shown) << row.page;
    std::string utf8;
    std::string problem;
    EXPECT_EQ(page.ToUtf8(row.bytes, utf8, problem), row.text) << row.page << ": " << row.shown;
  }
}

// The pairs that decide whether two names can stand in one folder.
TEST(CodePageTest, NamesEqualWithoutCaseAreTheLettersThatArePartnersBothWays) {
  struct {
    unsigned page;
    const char* a;
    const char* b;
    bool same;
  } rows[] = {
      {1252, "Ärger.txt", "ärger.txt", true},
      {1252, "ÿ", "Ÿ", true},
      {1252, "straße", "STRASSE", false},  // ß has no single upper-case letter
      {1251, "Ёлка", "ёЛКА", true},
      {1253, "Ωμέγα", "ΩΜΈΓΑ", true},
      {1253, "µ", "Μ", false},  // the micro sign is not the Greek letter
      {1253, "σ", "ς", false},  // the final sigma stands apart
      {1254, "ı", "I", false},  // dotless i and I, dotted İ and i: four names
      {1254, "İ", "i", false},
      {1250, "Łódź", "ŁÓDŹ", true},
      {932, "ア", "ヂ", false},  // 0x83 0x41 and 0x83 0x61: their bytes differ in ASCII case
      {932, "Ｑ", "ｑ", true},   // full-width letters fold as their own pair
  };
  for (const auto& row : rows) {
    const CodePage& page = OpenedCodePage(row.page);
    std::string a;
    std::string b;
    std::string problem;
    ASSERT_TRUE(page.NameFromSystem(row.a, a, problem)) << problem;
    ASSERT_TRUE(page.NameFromSystem(row.b, b, problem)) << problem;
    EXPECT_EQ(page.CaseKey(a) == page.CaseKey(b), row.same) << row.page << ": " << row.a << " and " << row.b;
  }
}

TEST(CodePageTest, NamesSplitOnlyAtSeparatorsThatAreCharacters) {
  struct {
    unsigned page;
    std::string bytes;
    std::vector<std::string> components;
  } rows[] = {
      {932, "\x83\x5C\x83\x74\x83\x67\\\x95\x5C.txt", {"\x83\x5C\x83\x74\x83\x67", "\x95\x5C.txt"}},  // ソフト\表.txt
      {1252, "\x83\x5C\x83\x74", {"\x83", "\x83\x74"}},  // single-byte: every backslash is one
      {950, "/\xA5\x5C/x", {"", "\xA5\x5C", "x"}},       // a leading slash, 功
      {932, "", {""}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(OpenedCodePage(row.page).NameComponents(row.bytes), row.components)
        << row.page << ": " << row.bytes.size();
  }
}

// The case of a name that is not text in the code page is folded in ASCII
// alone, and only in bytes that are characters of their own.
TEST(CodePageTest, BytesThatAreNoTextFoldOnlyTheirOwnLetters) {
  const CodePage& page = OpenedCodePage(932);
  // 0x80 is no character in 932: ア and ヂ, 0x83 0x41 and 0x83 0x61, stay apart.
  EXPECT_NE(page.CaseKey("\x83\x41\x80"), page.CaseKey("\x83\x61\x80"));
  EXPECT_EQ(page.CaseKey("a\x80"), page.CaseKey("A\x80"));
}

std::size_t CodePoints(const std::string& utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Every character that the platform's converter reads in two bytes is one
// character to the walk that splits names, and every byte that it reads
// alone begins none: the walk's tables agree with the code page.
TEST(CodePageTest, TheNameWalkReadsCharactersAsTheConverterDoes) {
  for (unsigned number : {932u, 936u, 949u, 950u, 1252u}) {
    const CodePage& page = OpenedCodePage(number);
    std::string utf8;
    std::string problem;
    int disagreements = 0;
    for (unsigned lead = 0x80; lead <= 0xFF && disagreements < 5; ++lead) {
      const std::string alone(1, static_cast<char>(lead));
      if (page.ToUtf8(alone, utf8, problem) && IsLeadByte(number, static_cast<unsigned char>(lead))) {
        ADD_FAILURE() << number << ": 0x" << std::hex << lead << " is a character of its own, not a lead byte";
        ++disagreements;
      }
      for (unsigned trail = 0x40; trail <= 0xFF; ++trail) {
        const std::string two = alone + static_cast<char>(trail);
        if (!page.ToUtf8(two, utf8, problem) || CodePoints(utf8) != 1) continue;
        if (CharacterLength(number, two.data(), two.size()) != 2) {
          ADD_FAILURE() << number << ": 0x" << std::hex << lead << " 0x" << trail
                        << " is one character to the converter";
          ++disagreements;
        }
      }
    }
  }
}

TEST(CodePageTest, OnlyTheCodePagesBothBuildsWriteAlikeOpen) {
  for (unsigned number : {1255u, 1258u, 65001u, 437u}) {
    CodePage page;
    std::string error;
    EXPECT_FALSE(page.Open(number, error)) << number;
    EXPECT_NE(error.find("code page " + std::to_string(number) + " is not one that kitpack writes"), std::string::npos)
        << error;
  }
}

}  // namespace
