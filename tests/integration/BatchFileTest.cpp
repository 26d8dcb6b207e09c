#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

#include "integration/BatchFile.h"

namespace {

namespace fs = std::filesystem;

class BatchFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-batch-file-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "AUTOEXEC.BAT").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(BatchFileTest, TellsWhatTheEndNeeds) {
  const std::string chunk = std::string(BATCH_READ_CHUNK - 1, 'A') + "\n";  // fills the first chunk the file is read in
  struct {
    const char* why;
    std::string bytes;
    std::uint64_t keepLength;
    bool needsLineEnd;
    bool textAfterMark;
  } rows[] = {
      {"an empty file needs nothing", "", 0, false, false},
      {"a final CR LF needs nothing", "PATH C:\\DOS\r\n", 13, false, false},
      {"a final LF is a line end too", "PATH C:\\DOS\n", 12, false, false},
      {"no final line end needs one", "PATH C:\\DOS", 11, true, false},
      {"a final CR alone is not a line end", "PATH C:\\DOS\r", 12, true, false},
      {"a final end-of-file mark is dropped", "PATH C:\\DOS\r\n\x1a", 13, false, false},
      {"a mark straight after the text: dropped, and a line end needed", "PATH C:\\DOS\x1a", 11, true, false},
      {"a run of marks, as padded files have, is dropped whole", "ECHO\r\n\x1a\x1a\x1a\x1a", 6, false, false},
      {"a file that is only a mark keeps nothing and needs nothing", "\x1a", 0, false, false},
      {"text after the mark is never run, and cannot be appended after", "ECHO\r\n\x1aSET X=1\r\n", 6, false, true},
      {"a mark at the end of the first chunk", chunk.substr(0, BATCH_READ_CHUNK - 1) + "\x1a\x1a", BATCH_READ_CHUNK - 1,
       true, false},
      {"a mark at the start of the second chunk", chunk + "\x1a", BATCH_READ_CHUNK, false, false},
      {"text after the mark in the next chunk", chunk.substr(0, BATCH_READ_CHUNK - 1) + "\x1a" + "\x1a" + "REM",
       BATCH_READ_CHUNK - 1, true, true},
  };
  for (const auto& row : rows) {
    Write(row.bytes);
    BatchFileEnd end = InspectBatchFile(path_.c_str());
    EXPECT_TRUE(end.read) << row.why;
    EXPECT_EQ(end.length, row.bytes.size()) << row.why;
    EXPECT_EQ(end.textAfterMark, row.textAfterMark) << row.why;
    if (!row.textAfterMark) {
      EXPECT_EQ(end.keepLength, row.keepLength) << row.why;
      EXPECT_EQ(end.needsLineEnd, row.needsLineEnd) << row.why;
    }
  }
}

TEST_F(BatchFileTest, AFileThatCannotBeReadIsAppendedToAsItIs) {
  BatchFileEnd missing = InspectBatchFile(path_.c_str());
  EXPECT_FALSE(missing.read);
  EXPECT_FALSE(missing.needsLineEnd);
  EXPECT_FALSE(missing.textAfterMark);
  EXPECT_EQ(missing.keepLength, missing.length);

  fs::create_directory(path_);  // opens, but cannot be read
  BatchFileEnd directory = InspectBatchFile(path_.c_str());
  EXPECT_FALSE(directory.read);
  EXPECT_EQ(directory.keepLength, directory.length) << "nothing is to be cut from what could not be read";
}

TEST_F(BatchFileTest, WritesTheThreeSettingsExactly) {
  struct {
    const char* why;
    const char* installDir;
    bool lineEndFirst;
    const char* expected;
  } rows[] = {
      {"the three lines, /zp1 then /Zp1", "C:\\QUENV98", false,
       "SET WCC386=%WCC386% /zp1\nSET CL=%CL% /Zp1\nSET INCLUDE=%INCLUDE%;C:\\QUENV98\n"},
      {"a line end first when asked", "C:\\QUENV98", true,
       "\nSET WCC386=%WCC386% /zp1\nSET CL=%CL% /Zp1\nSET INCLUDE=%INCLUDE%;C:\\QUENV98\n"},
      {"percent signs in the directory are written as they are", "C:\\100%\\%s%d", false,
       "SET WCC386=%WCC386% /zp1\nSET CL=%CL% /Zp1\nSET INCLUDE=%INCLUDE%;C:\\100%\\%s%d\n"},
      {"an empty directory", "", false, "SET WCC386=%WCC386% /zp1\nSET CL=%CL% /Zp1\nSET INCLUDE=%INCLUDE%;\n"},
  };
  for (const auto& row : rows) {
    Write("REM before\n");
    std::FILE* batch = std::fopen(path_.c_str(), "a");
    ASSERT_NE(batch, nullptr);
    EXPECT_TRUE(WriteCompilerSettings(batch, row.installDir, row.lineEndFirst)) << row.why;
    std::fclose(batch);
    EXPECT_EQ(Read(), std::string("REM before\n") + row.expected) << row.why;
  }
}

TEST_F(BatchFileTest, AFailedWriteIsReported) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  std::setvbuf(full, nullptr, _IONBF, 0);
  for (bool lineEndFirst : {false, true}) {
    EXPECT_FALSE(WriteCompilerSettings(full, "C:\\QUENV98", lineEndFirst)) << lineEndFirst;
  }
  std::fclose(full);
}

}  // namespace
