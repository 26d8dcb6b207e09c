#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "integration/ListField.h"

namespace {

struct Row {
  const char* why;
  const char* text;
  char separator;
  int n;
  const char* expected;  // null: no field
};

const Row ROWS[] = {
    {"empty text has no first field", "", ',', 1, nullptr},
    {"empty text has no later field either", "", ',', 2, nullptr},
    {"field numbers start at 1", "a,b", ',', 0, nullptr},
    {"a lone field is field 1", "abc", ',', 1, "abc"},
    {"field 1 ends at the first separator", "abc,def", ',', 1, "abc"},
    {"a separator in the first position is passed over for field 1", ",abc,def", ',', 1, "abc"},
    {"field 1 of a lone separator starts at the end: empty", ",", ',', 1, ""},
    {"field 1 starting at a second separator holds it", ",,x", ',', 1, ",x"},
    {"field 2 follows the first separator", "(a,b,c", ',', 2, "b"},
    {"field 3 follows the second separator and runs to the end", "(a,b,c", ',', 3, "c"},
    {"too few separators: no field", "(a,b,c", ',', 4, nullptr},
    {"no separator at all: no field 2", "(abc", ',', 2, nullptr},
    {"the first character is never counted for field 2", ",a,b", ',', 2, "b"},
    {"the first character is never counted for field 3", ",a,b,c", ',', 3, "c"},
    {"a text that ends with the separator opening the field: empty", "a,b,", ',', 3, ""},
    {"two separators in a row: the field holds the second and what follows", "a,,b,c", ',', 2, ",b"},
    {"the field after such a pair is found normally", "a,,b,c", ',', 3, "b"},
    {"and the one after that too", "a,,b,c", ',', 4, "c"},
    {"a run of separators: each field is one separator", ",,,,", ',', 2, ","},
    {"a run of separators: the next field likewise", ",,,,", ',', 3, ","},
    {"a run of separators: the field at the end is empty", ",,,,", ',', 4, ""},
    {"a run of separators: nothing after the end", ",,,,", ',', 5, nullptr},
    {"the line end is dropped from the last field", "a,b\n", ',', 2, "b"},
    {"and from a lone first field", "a\n", ',', 1, "a"},
    {"a field that is only the line end is empty", "a,\n", ',', 2, ""},
    {"a first field that is only the line end is empty", "\n", ',', 1, ""},
    {"the line end stays out of field 1 when it is also the last", ",b\n", ',', 1, "b"},
    {"a newline inside a field is kept: only the last character is dropped", "a\nb,c", ',', 1, "a\nb"},
    {"blanks are part of fields", " a , b ", ',', 2, " b "},
    {"another separator: commas are ordinary characters", "a;b,c;d", ';', 2, "b,c"},
};

TEST(GetListFieldTest, WalksTheFieldsByTheListsRules) {
  for (const Row& row : ROWS) {
    char* field = GetListField(row.text, row.separator, row.n);
    if (row.expected == nullptr) {
      EXPECT_EQ(field, nullptr) << row.why << ": got \"" << (field ? field : "") << "\"";
    } else if (field == nullptr) {
      ADD_FAILURE() << row.why << ": no field, expected \"" << row.expected << "\"";
    } else {
      EXPECT_STREQ(field, row.expected) << row.why;
    }
    std::free(field);
  }
}

TEST(GetListFieldTest, SpanPointsIntoTheText) {
  // Callers that do not want a copy get the same field as a place in the text.
  const char text[] = "(Name,\\BIN\\QCC.EXE,\\BIN\n";
  ListFieldSpan field{};
  ASSERT_TRUE(FindListField(text, ',', 3, field));
  EXPECT_EQ(field.start, text + 19);
  EXPECT_EQ(std::string(field.start, field.length), "\\BIN");
}

}  // namespace
