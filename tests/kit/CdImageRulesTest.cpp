// What the user gives a CD image: its volume label, from the kit folder's
// name or from --label, and its timestamp from SOURCE_DATE_EPOCH.
#include <gtest/gtest.h>

#include "kit/CdImage.h"

namespace {

TEST(CdImageRules, LabelFromTheFolderName) {
  struct {
    const char* why;
    std::string name;
    std::string label;
  } rows[] = {
      {"lower case is upper-cased", "kit", "KIT"},
      {"digits and _ stay", "Quenvar_98", "QUENVAR_98"},
      {"blanks, dashes and dots become _", "quenvar-98 sdk.v2", "QUENVAR_98_SDK_V2"},
      {"each byte of a non-ASCII character becomes _", "k\xC3\xA4t", "K__T"},
      {"cut to 32 characters", std::string(40, 'q'), std::string(32, 'Q')},
      {"nothing from nothing", "", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(CdLabelFromName(row.name), row.label) << row.why;
}

TEST(CdImageRules, LabelFromTheOption) {
  struct {
    const char* why;
    std::string option;
    const char* label;    // null when refused
    const char* problem;  // part of the reason when refused
  } rows[] = {
      {"upper-cased", "Quenvar98", "QUENVAR98", nullptr},
      {"32 characters fit", std::string(32, 'A'), "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", nullptr},
      {"empty", "", nullptr, "this one has 0"},
      {"33 characters", std::string(33, 'A'), nullptr, "this one has 33"},
      {"a blank", "QUENVAR 98", nullptr, "' ' is not one of them"},
      {"a dash", "QV-98", nullptr, "'-' is not one of them"},
  };
  for (const auto& row : rows) {
    std::string label = "untouched";
    std::string problem;
    const bool taken = CdLabelFromOption(row.option, label, problem);
    EXPECT_EQ(taken, row.label != nullptr) << row.why << ": " << problem;
    if (row.label != nullptr) {
      EXPECT_EQ(label, row.label) << row.why;
    } else {
      EXPECT_NE(problem.find("--label"), std::string::npos) << row.why << ": " << problem;
      EXPECT_NE(problem.find(row.problem), std::string::npos) << row.why << ": " << problem;
    }
  }
}

TEST(CdImageRules, TimestampFromSourceDateEpoch) {
  struct {
    const char* why;
    const char* value;  // null: not set
    bool valid;
    std::int64_t when;
  } rows[] = {
      {"not set: the fixed date", nullptr, true, CD_DEFAULT_TIME},
      {"empty: the fixed date", "", true, CD_DEFAULT_TIME},
      {"the epoch itself", "0", true, 0},
      {"a date of today", "1700000000", true, 1700000000},
      {"the last second of 2155", "5869583999", true, 5869583999},
      {"2156, which a directory record cannot date", "5869584000", false, 0},
      {"negative", "-1", false, 0},
      {"not decimal", "1e9", false, 0},
      {"a blank before it", " 17", false, 0},
      {"more digits than any count of seconds could need", "99999999999999999999999", false, 0},
  };
  for (const auto& row : rows) {
    std::int64_t when = -5;
    std::string problem;
    EXPECT_EQ(CdImageTime(row.value, when, problem), row.valid) << row.why;
    if (row.valid) {
      EXPECT_EQ(when, row.when) << row.why;
    } else {
      EXPECT_NE(problem.find("SOURCE_DATE_EPOCH=\"" + std::string(row.value) + "\""), std::string::npos)
          << row.why << ": " << problem;
    }
  }
}

}  // namespace
