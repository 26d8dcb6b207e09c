#include <cctype>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "integration/ShortcutLine.h"

namespace {

// The fake platform: a path whose name holds "missing" does not exist and
// has no short form; any other one's short form is the path in capitals,
// with "~1" after it when it holds a "~", so that a short form can be longer
// than its path. Like the platform, it gives nothing that does not fit.
bool FakeShortPath(const char* path, char* shortPath, std::size_t size) {
  if (std::strstr(path, "missing") != nullptr) return false;
  std::string form = path;
  for (char& c : form) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (form.find('~') != std::string::npos) form += "~1";
  if (form.size() >= size) return false;
  std::memcpy(shortPath, form.c_str(), form.size() + 1);
  return true;
}

struct Outcome {
  LineConversion status;
  std::string line;  // the converted line; empty when there is none
};

Outcome Convert(const std::string& line, const char* installDir = "C:\\QUENV98",
                ShortPathLookup lookup = FakeShortPath) {
  char* converted = reinterpret_cast<char*>(1);  // must be reset whatever the outcome
  LineConversion status = ConvertShortcutLine(line.c_str(), installDir, lookup, &converted);
  Outcome outcome{status, converted ? converted : ""};
  if (status != LineConversion::Converted) {
    EXPECT_EQ(converted, nullptr) << "only a converted line is handed over";
  }
  std::free(converted);
  return outcome;
}

TEST(ConvertShortcutLineTest, LinesThatAreNotItemLinesStayAsTheyAre) {
  const char* const lines[] = {
      "[progman.groups]\n", "group0=Quenvar 98\n", "\n", "", " (Starts with a blank,\\a,\\b\n",
      "no line end",        "x(Name,\\a,\\b\n",
  };
  for (const char* line : lines) EXPECT_EQ(Convert(line).status, LineConversion::Copied) << line;
}

TEST(ConvertShortcutLineTest, ItemLinesGetAbsolutePaths) {
  struct {
    const char* why;
    const char* line;
    const char* installDir;
    const char* expected;
  } rows[] = {
      {"the three positions, short form second", "(Read Me,\\doc\\readme.txt,\\doc\n", "C:\\QUENV98",
       "\"Read Me\",\"C:\\QUENV98\\DOC\\README.TXT\",\"C:\\QUENV98\\doc\\readme.txt\",,,\"C:\\QUENV98\\doc\"\n"},
      {"a last line without a line end still gets one", "(Read Me,\\doc\\readme.txt,\\doc", "C:\\QUENV98",
       "\"Read Me\",\"C:\\QUENV98\\DOC\\README.TXT\",\"C:\\QUENV98\\doc\\readme.txt\",,,\"C:\\QUENV98\\doc\"\n"},
      {"blanks next to the commas are kept", "( Read Me , \\doc\\a.txt , \\doc \n", "C:\\Q",
       "\" Read Me \",\"C:\\Q \\DOC\\A.TXT \",\"C:\\Q \\doc\\a.txt \",,,\"C:\\Q \\doc \"\n"},
      {"a \")\" at the end belongs to the third field", "(Tool,\\bin\\t.exe,\\bin)\n", "C:\\Q",
       "\"Tool\",\"C:\\Q\\BIN\\T.EXE\",\"C:\\Q\\bin\\t.exe\",,,\"C:\\Q\\bin)\"\n"},
      {"an empty third field gives the installation directory", "(Tool,\\bin\\t.exe,\n", "C:\\Q",
       "\"Tool\",\"C:\\Q\\BIN\\T.EXE\",\"C:\\Q\\bin\\t.exe\",,,\"C:\\Q\"\n"},
      {"a fourth and later fields are ignored", "(Tool,\\bin\\t.exe,\\bin,extra,more\n", "C:\\Q",
       "\"Tool\",\"C:\\Q\\BIN\\T.EXE\",\"C:\\Q\\bin\\t.exe\",,,\"C:\\Q\\bin\"\n"},
      {"two commas in a row: the second starts the field, the next is found normally", "(Tool,,\\bin\\t.exe,\\bin\n",
       "C:\\Q", "\"Tool\",\"C:\\Q,\\BIN\\T.EXE\",\"C:\\Q,\\bin\\t.exe\",,,\"C:\\Q\\bin\\t.exe\"\n"},
      {"an empty first field: first and second are both the text after the first comma", "(,\\bin\\t.exe,\\bin\n",
       "C:\\Q", "\"\\bin\\t.exe\",\"C:\\Q\\BIN\\T.EXE\",\"C:\\Q\\bin\\t.exe\",,,\"C:\\Q\\bin\"\n"},
      {"no third field stands as empty text", "(Tool,\\bin\\t.exe\n", "C:\\Q",
       "\"Tool\",\"C:\\Q\\BIN\\T.EXE\",\"C:\\Q\\bin\\t.exe\",,,\"C:\\Q\"\n"},
      {"no second and third field", "(Tool\n", "C:\\q", "\"Tool\",\"C:\\Q\",\"C:\\q\",,,\"C:\\q\"\n"},
      {"a lone \"(\" has no field at all", "(", "C:\\q", "\"\",\"C:\\Q\",\"C:\\q\",,,\"C:\\q\"\n"},
      {"a \"(\" and its line end likewise", "(\n", "C:\\q", "\"\",\"C:\\Q\",\"C:\\q\",,,\"C:\\q\"\n"},
      {"no short form: the second path stands in position 2", "(Gone,\\missing.txt,\\\n", "C:\\Q",
       "\"Gone\",\"C:\\Q\\missing.txt\",\"C:\\Q\\missing.txt\",,,\"C:\\Q\\\"\n"},
      {"double quotes inside a field are written as they are", "(Say \"hi\",\\a,\\b\n", "C:\\Q",
       "\"Say \"hi\"\",\"C:\\Q\\A\",\"C:\\Q\\a\",,,\"C:\\Q\\b\"\n"},
      {"percent signs are text, not formats", "(100%s,\\%d,\\%n\n", "C:\\%s",
       "\"100%s\",\"C:\\%S\\%D\",\"C:\\%s\\%d\",,,\"C:\\%s\\%n\"\n"},
      {"an empty installation directory leaves the fields as they are", "(T,\\a,\\b\n", "",
       "\"T\",\"\\A\",\"\\a\",,,\"\\b\"\n"},
  };
  for (const auto& row : rows) {
    Outcome outcome = Convert(row.line, row.installDir);
    EXPECT_EQ(outcome.status, LineConversion::Converted) << row.why;
    EXPECT_EQ(outcome.line, row.expected) << row.why;
  }
}

TEST(ConvertShortcutLineTest, WithoutALookupTheSecondPathStandsInPosition2) {
  EXPECT_EQ(Convert("(T,\\a,\\b\n", "C:\\Q", nullptr).line, "\"T\",\"C:\\Q\\a\",\"C:\\Q\\a\",,,\"C:\\Q\\b\"\n");
}

// Every limit, at the largest length that fits and one past it. The paths
// hold 259 characters at most, the converted line 1023 with its newline.
TEST(ConvertShortcutLineTest, LongInputsAtAndPastEveryLimit) {
  const std::string dir = "C:\\QUENV98";  // 10 characters
  const std::string f249 = "\\" + std::string(248, 'p');
  const std::string f250 = "\\" + std::string(249, 'p');
  const std::string dir258 = "C:\\" + std::string(255, 'd');
  const std::string dir259 = dir258 + "d";
  struct {
    const char* why;
    std::string line;
    std::string installDir;
    LineConversion status;
    std::size_t length;  // of the converted line
  } rows[] = {
      {"second path of 259 characters", "(T," + f249 + ",\\b\n", dir, LineConversion::Converted, 545},
      {"second path of 260 characters", "(T," + f250 + ",\\b\n", dir, LineConversion::SecondPathTooLong, 0},
      {"third path of 259 characters", "(T,\\a," + f249 + "\n", dir, LineConversion::Converted, 298},
      {"third path of 260 characters", "(T,\\a," + f250 + "\n", dir, LineConversion::ThirdPathTooLong, 0},
      {"installation directory of 259 with nothing after it", "(T\n", dir259, LineConversion::Converted, 792},
      {"installation directory of 259 and a one-character field", "(T,\\\n", dir259, LineConversion::SecondPathTooLong,
       0},
      {"installation directory of 258 and one-character fields", "(T,\\,\\\n", dir258, LineConversion::Converted, 792},
      {"installation directory of 258 and a two-character second field", "(T,\\x,\\\n", dir258,
       LineConversion::SecondPathTooLong, 0},
      {"installation directory of 258 and a two-character third field", "(T,\\,\\x\n", dir258,
       LineConversion::ThirdPathTooLong, 0},
      // 232 + three paths of 259 + 14 characters of the template: 1023.
      {"converted line of 1023 characters", "(" + std::string(232, 'f') + "," + f249 + "," + f249 + "\n", dir,
       LineConversion::Converted, 1023},
      {"converted line of 1024 characters", "(" + std::string(233, 'f') + "," + f249 + "," + f249 + "\n", dir,
       LineConversion::LineTooLong, 0},
      {"a first field longer than any line", "(" + std::string(5000, 'f') + ",\\a,\\b\n", dir,
       LineConversion::LineTooLong, 0},
      {"fields far past every buffer", "(T," + std::string(100000, 'p') + "," + std::string(100000, 'q'), dir,
       LineConversion::SecondPathTooLong, 0},
  };
  for (const auto& row : rows) {
    Outcome outcome = Convert(row.line, row.installDir.c_str());
    EXPECT_EQ(outcome.status, row.status) << row.why;
    EXPECT_EQ(outcome.line.size(), row.length) << row.why;
    if (row.status == LineConversion::Converted) {
      EXPECT_EQ(outcome.line.back(), '\n') << row.why;
    }
  }
}

TEST(ConvertShortcutLineTest, AShortFormThatDoesNotFitGivesWayToTheLongPath) {
  // The fake's short form of a path with a "~" is two characters longer.
  const std::string dir = "C:\\QUENV98";
  const std::string fits = "\\" + std::string(245, 'p') + "~";     // path 257, short form 259
  const std::string tooLong = "\\" + std::string(246, 'p') + "~";  // path 258, short form 260
  Outcome shortForm = Convert("(T," + fits + ",\\b\n", dir.c_str());
  ASSERT_EQ(shortForm.status, LineConversion::Converted);
  EXPECT_NE(shortForm.line.find(",\"C:\\QUENV98\\" + std::string(245, 'P') + "~~1\","), std::string::npos);

  Outcome longPath = Convert("(T," + tooLong + ",\\b\n", dir.c_str());
  ASSERT_EQ(longPath.status, LineConversion::Converted);
  const std::string path = "\"" + dir + tooLong + "\"";
  EXPECT_EQ(longPath.line, "\"T\"," + path + "," + path + ",,,\"C:\\QUENV98\\b\"\n");
}

}  // namespace
