// What the extraction does for one entry: the directories it asks for, and
// the file it writes.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "payload/EntryFiles.h"

namespace {

namespace fs = std::filesystem;

void Record(const char* path, void* context) { static_cast<std::vector<std::string>*>(context)->push_back(path); }

TEST(EntryFilesTest, DirectoriesComeOutermostFirstAndNeverTheFileItself) {
  struct {
    const char* why;
    const char* directory;
    const char* name;
    std::vector<std::string> requests;
  } cases[] = {
      {"no separator", "C:\\KIT", "README.TXT", {}},
      {"two levels", "C:\\KIT", "A\\B\\F.DAT", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"slash separates too", "C:\\KIT", "A/B\\F.DAT", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"slashes only", "C:\\KIT", "A/B/F.DAT", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      // The directory itself with a backslash first, then the name's
      // directories without the leading separator.
      {"leading backslash", "C:\\KIT", "\\A\\B\\F.DAT", {"C:\\KIT\\", "C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"trailing backslash", "C:\\KIT", "A\\B\\", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"empty directory: the current drive's root", "", "A\\F", {"\\A"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> requests;
    EXPECT_TRUE(ForEachEntryDirectory(c.directory, c.name, Record, &requests)) << c.why;
    EXPECT_EQ(requests, c.requests) << c.why;
  }
}

// 271 characters and its zero byte fill the 272-byte buffer; one more and
// nothing further is asked for.
TEST(EntryFilesTest, DirectoryPathsNeverOverflowTheirBuffer) {
  const std::string directory(260, 'D');
  std::vector<std::string> requests;
  EXPECT_TRUE(ForEachEntryDirectory(directory.c_str(), "ABCDEFGHIJ\\F", Record, &requests));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].size(), 271u);
  requests.clear();
  EXPECT_FALSE(ForEachEntryDirectory(directory.c_str(), "ABCDEFGHIJK\\F", Record, &requests));
  EXPECT_TRUE(requests.empty());
  requests.clear();
  EXPECT_FALSE(ForEachEntryDirectory("C:", (std::string(300, 'n') + "\\F").c_str(), Record, &requests));
  EXPECT_TRUE(requests.empty());
}

class WriteEntryFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-entryfiles-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    archive_.reset(std::tmpfile());
    ASSERT_TRUE(archive_);
    buffer_.resize(COPY_BUFFER);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Store(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), archive_.get());
    std::fflush(archive_.get());
  }
  // The file for a name: the directory and the name joined with a backslash,
  // which here is one file name beside the directory.
  fs::path Output(const std::string& name) const { return dir_.string() + "\\" + name; }
  bool Write(std::int64_t offset, std::int32_t size, const std::string& name) {
    return WriteEntryFile(archive_.get(), offset, size, dir_.string().c_str(), name.c_str(), buffer_.data());
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  fs::path dir_;
  std::unique_ptr<std::FILE, Closer> archive_;
  std::vector<unsigned char> buffer_;
};

TEST_F(WriteEntryFileTest, WritesTheRestoredDataFromAnyOffsetInChunks) {
  std::string plain;
  for (int i = 0; i < 130001; ++i) plain.push_back(static_cast<char>(i * 31 + i / 256));
  Store("0123456789" + StoredData(plain) + StoredData("tail"));
  for (std::int32_t size : {0, 1, 63999, 64000, 64001, 128000, 130001}) {
    ASSERT_TRUE(Write(10, size, "F" + std::to_string(size))) << size;
    EXPECT_EQ(Read(Output("F" + std::to_string(size))), plain.substr(0, static_cast<std::size_t>(size))) << size;
  }
  // Reading back and forth in one stream: an earlier offset after a later one.
  ASSERT_TRUE(Write(10 + 130001, 4, "TAIL"));
  ASSERT_TRUE(Write(10, 5, "HEAD"));
  EXPECT_EQ(Read(Output("TAIL")), "tail");
  EXPECT_EQ(Read(Output("HEAD")), plain.substr(0, 5));
}

TEST_F(WriteEntryFileTest, AnExistingFileIsTruncated) {
  Store(StoredData("new"));
  std::ofstream(Output("F"), std::ios::binary) << "an older and longer file";
  ASSERT_TRUE(Write(0, 3, "F"));
  EXPECT_EQ(Read(Output("F")), "new");
}

TEST_F(WriteEntryFileTest, FailuresLeaveNoFileUnderTheName) {
  Store(StoredData("short"));
  EXPECT_FALSE(Write(0, 6, "PAST")) << "data that runs past the end of the archive";
  EXPECT_FALSE(fs::exists(Output("PAST"))) << "the half-written file was left";
  EXPECT_FALSE(Write(0, 1, "MISSING/F")) << "a file whose directory does not exist";
  fs::create_directory(Output("ADIR"));
  EXPECT_FALSE(Write(0, 1, "ADIR")) << "a directory where the file must go";
  EXPECT_TRUE(fs::is_directory(Output("ADIR")));
  EXPECT_FALSE(Write(0, 1, std::string(300, 'n'))) << "a path longer than 259 characters";
  EXPECT_FALSE(Write(0, -1, "NEGATIVE"));
  EXPECT_FALSE(fs::exists(Output("NEGATIVE")));
}

}  // namespace
