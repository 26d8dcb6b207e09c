#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "FakeFatal.h"
#include "base/Fatal.h"
#include "wizard/TextFile.h"

namespace {

namespace fs = std::filesystem;

class LoadTextFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-textfile-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    previous_ = fs::current_path();
    fs::current_path(dir_);  // documents are named without a directory
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  static void Write(const char* name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }
  // The loaded text up to its NUL, and checks that the NUL sits right after
  // the file's bytes.
  static std::string Load(const char* name, std::size_t expectedSize) {
    char* text = LoadTextFile(name);
    std::string copy(text, expectedSize);
    EXPECT_EQ(text[expectedSize], '\0') << "the text ends right after the file's bytes";
    std::free(text);
    return copy;
  }

  fs::path dir_;
  fs::path previous_;
};

TEST_F(LoadTextFileTest, GivesTheFileBytesUnchanged) {
  struct {
    const char* why;
    std::string bytes;
  } cases[] = {
      {"empty document", ""},
      {"CR LF line ends stay CR LF", "Line one\r\nLine two\r\n"},
      {"lone LF and CR stay as they are", "a\nb\rc"},
      {"no line end at the end", "last line"},
      {"bytes above 127 are not translated", "\xe9t\xe9\x80\xff"},
  };
  for (const auto& c : cases) {
    Write("README.TXT", c.bytes);
    EXPECT_EQ(Load("README.TXT", c.bytes.size()), c.bytes) << c.why;
  }
}

TEST_F(LoadTextFileTest, KeepsEveryByteValueIncludingNul) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  Write("LICENSE.TXT", all + all);
  EXPECT_EQ(Load("LICENSE.TXT", all.size() * 2), all + all);
}

TEST_F(LoadTextFileTest, ReadsALargeDocumentWhole) {
  std::string big(3 * 1024 * 1024 + 7, 'x');
  for (std::size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>('A' + i % 26);
  Write("LICENSE.TXT", big);
  EXPECT_EQ(Load("LICENSE.TXT", big.size()), big);
}

TEST_F(LoadTextFileTest, MissingFileIsFatal) {
  try {
    LoadTextFile("LICENSE.TXT");
    FAIL() << "a missing document must end the program";
  } catch (const FatalReport& report) {
    EXPECT_STREQ(report.what(), "Unable to locate required text file");
  }
}

}  // namespace
