// What the extraction does for one entry: the directories it asks for, and
// the file it writes, by LibraryExtract and by the installer's extraction.
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
#include "base/Paths.h"
#include "base/Scoped.h"
#include "payload/EntryFiles.h"
#include "payload/LibraryReader.h"

namespace {

namespace fs = std::filesystem;

void Record(const char* path, void* context) { static_cast<std::vector<std::string>*>(context)->push_back(path); }

TEST(EntryFilesTest, DirectoriesComeOutermostFirstAndNeverTheFileItself) {
  struct {
    const char* why;
    unsigned codePage;
    const char* directory;
    const char* name;
    std::vector<std::string> requests;
  } cases[] = {
      {"no separator", 1252, "C:\\KIT", "README.TXT", {}},
      {"two levels", 1252, "C:\\KIT", "A\\B\\F.DAT", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"slash separates too", 1252, "C:\\KIT", "A/B\\F.DAT", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"slashes only", 1252, "C:\\KIT", "A/B/F.DAT", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      // The directory itself with a backslash first, then the name's
      // directories without the leading separator.
      {"leading backslash", 1252, "C:\\KIT", "\\A\\B\\F.DAT", {"C:\\KIT\\", "C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"trailing backslash", 1252, "C:\\KIT", "A\\B\\", {"C:\\KIT\\A", "C:\\KIT\\A\\B"}},
      {"empty directory: the current drive's root", 1252, "", "A\\F", {"\\A"}},
      // ソフト\表.txt: ソ and 表 end in 0x5C, which separates only where it
      // is a character of its own.
      {"second bytes 0x5C in Japanese",
       932,
       "C:\\KIT",
       "\x83\x5C\x83\x74\x83\x67\\\x95\x5C.txt",
       {"C:\\KIT\\\x83\x5C\x83\x74\x83\x67"}},
      {"the same bytes in 1252",
       1252,
       "C:\\KIT",
       "\x83\x5C\x83\x74\x83\x67\\\x95\x5C.txt",
       {"C:\\KIT\\\x83", "C:\\KIT\\\x83\\\x83\x74\x83\x67", "C:\\KIT\\\x83\\\x83\x74\x83\x67\\\x95"}},
      {"a half-width katakana before a backslash", 932, "C:\\KIT", "\xB2\\F", {"C:\\KIT\\\xB2"}},
      {"功\\許.txt in Traditional Chinese", 950, "C:\\KIT", "\xA5\x5C\\\xB3\x5C.txt", {"C:\\KIT\\\xA5\x5C"}},
      {"below a directory that ends in a second byte 0x5C", 932, "C:\\\x95\x5C", "A\\F", {"C:\\\x95\x5C\\A"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> requests;
    EXPECT_TRUE(ForEachEntryDirectory(c.directory, c.name, c.codePage, Record, &requests)) << c.why;
    EXPECT_EQ(requests, c.requests) << c.why;
  }
}

// 271 characters and its zero byte fill the 272-byte buffer; one more and
// nothing further is asked for.
TEST(EntryFilesTest, DirectoryPathsNeverOverflowTheirBuffer) {
  const std::string directory(260, 'D');
  std::vector<std::string> requests;
  EXPECT_TRUE(ForEachEntryDirectory(directory.c_str(), "ABCDEFGHIJ\\F", 1252, Record, &requests));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].size(), 271u);
  requests.clear();
  EXPECT_FALSE(ForEachEntryDirectory(directory.c_str(), "ABCDEFGHIJK\\F", 1252, Record, &requests));
  EXPECT_TRUE(requests.empty());
  requests.clear();
  EXPECT_FALSE(ForEachEntryDirectory("C:", (std::string(300, 'n') + "\\F").c_str(), 1252, Record, &requests));
  EXPECT_TRUE(requests.empty());
}

// The one writer of an entry's file, reached both ways: by LibraryExtract,
// which finds the entry by its name, and directly, as the installer's
// extraction calls it with the offset and size its index holds.
class EntryWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-entrywriter-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    archive_ = (dir_ / "DATA.VNX").string();
    out_ = (dir_ / "out").string();
    buffer_.resize(COPY_BUFFER);
  }
  void TearDown() override {
    LibraryClose();
    fs::remove_all(dir_);
  }

  // Writes the archive and opens it with the installer's access name.
  void Open(const std::string& bytes) {
    std::ofstream(archive_, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(LibraryOpen(archive_.c_str(), LIBRARY_ACCESS_NAME), 1);
  }
  // The file for a name: the directory and the name joined with a backslash,
  // which here is one file name beside the directory.
  static std::string Output(const std::string& directory, const std::string& name) { return directory + "\\" + name; }
  // The entry's file written by the writer itself, from a stream of its own
  // over the archive.
  bool WriteDirectly(std::int64_t offset, std::int32_t size, const std::string& directory, const std::string& name) {
    FileHandle archive(std::fopen(archive_.c_str(), "rb"));
    EXPECT_TRUE(archive) << archive_;
    return archive && WriteEntryFile(archive.get(), offset, size, directory.c_str(), name.c_str(), buffer_.data());
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  std::string archive_;
  std::string out_;
  std::vector<unsigned char> buffer_;
};

// The copy goes in chunks of 64000 bytes: sizes on either side of one and of
// two chunks, between entries that must not leak into the file.
TEST_F(EntryWriterTest, CopiesEverySizeAroundTheChunk) {
  for (std::int32_t size : {0, 1, 63999, 64000, 64001, 128000, 128001, 130001}) {
    const std::string data = Pattern(static_cast<std::size_t>(size), static_cast<unsigned>(size));
    Open(Header() + Entry("LEAD", "x") + Entry("F.BIN", data) + Entry("NEXT", "y"));
    ASSERT_EQ(LibraryExtract(out_.c_str(), "F.BIN"), 1) << size;
    ASSERT_TRUE(fs::exists(Output(out_, "F.BIN"))) << size << ": even an empty entry makes a file";
    EXPECT_TRUE(Read(Output(out_, "F.BIN")) == data) << size << ", by LibraryExtract";
    ASSERT_TRUE(WriteDirectly(LIBRARY_FIRST_DATA + 1 + LIBRARY_ENTRY_HEADER_SIZE, size, out_, "G.BIN")) << size;
    EXPECT_TRUE(Read(Output(out_, "G.BIN")) == data) << size << ", directly";
  }
}

TEST_F(EntryWriterTest, AnExistingFileIsTruncated) {
  Open(Header() + Entry("F", "new"));
  std::ofstream(Output(out_, "F"), std::ios::binary) << std::string(5000, 'o');
  ASSERT_EQ(LibraryExtract(out_.c_str(), "F"), 1);
  EXPECT_EQ(Read(Output(out_, "F")), "new");
  std::ofstream(Output(out_, "G"), std::ios::binary) << "an older and longer file";
  ASSERT_TRUE(WriteDirectly(LIBRARY_FIRST_DATA, 3, out_, "G"));
  EXPECT_EQ(Read(Output(out_, "G")), "new");
}

// Reading back and forth in one stream, as the installer does for an entry
// whose name an earlier entry has: an earlier offset after a later one.
TEST_F(EntryWriterTest, OneStreamServesOffsetsInAnyOrder) {
  const std::string plain = Pattern(130001, 5);
  FileHandle archive(std::tmpfile());
  ASSERT_TRUE(archive);
  const std::string stored = "0123456789" + StoredData(plain) + StoredData("tail");
  std::fwrite(stored.data(), 1, stored.size(), archive.get());
  ASSERT_TRUE(WriteEntryFile(archive.get(), 10 + 130001, 4, out_.c_str(), "TAIL", buffer_.data()));
  ASSERT_TRUE(WriteEntryFile(archive.get(), 10, 5, out_.c_str(), "HEAD", buffer_.data()));
  ASSERT_TRUE(WriteEntryFile(archive.get(), 15, 130001 - 5, out_.c_str(), "REST", buffer_.data()));
  EXPECT_EQ(Read(Output(out_, "TAIL")), "tail");
  EXPECT_EQ(Read(Output(out_, "HEAD")), plain.substr(0, 5));
  EXPECT_TRUE(Read(Output(out_, "REST")) == plain.substr(5));
}

// What makes the writing of a file fail, by either way; no file stays under
// the name, and whatever was in the way is left as it was.
TEST_F(EntryWriterTest, FailuresLeaveNoFileUnderTheName) {
  const bool full = fs::exists("/dev/full");
  // The directory, a backslash and the name: 259 characters fit, 260 do not.
  const std::string longest = StorableName(PATH_LIMIT - out_.size() - 1);
  const std::string tooLong = StorableName(longest.size() + 1);
  const std::string missing = (dir_ / "nowhere" / "deeper").string();
  const struct {
    const char* why;
    std::string directory;
    std::string name;
    std::size_t size;
    const char* obstacle;  // "dir" or "full" at the file's path, or ""
  } cases[] = {
      {"the target directory is missing", missing, "F", 4, ""},
      {"a directory where the file must go", out_, "ADIR", 4, "dir"},
      {"a path of 260 characters", out_, tooLong, 4, ""},
      {"a full disk, within the first chunk", out_, "F10", 10, "full"},
      {"a full disk, a byte past the first chunk", out_, "F64001", 64001, "full"},
      {"a full disk, past three chunks", out_, "F200000", 200000, "full"},
  };
  for (const auto& c : cases) {
    if (std::string(c.obstacle) == "full" && !full) {
      ADD_FAILURE() << c.why << ": no /dev/full here to fill";
      continue;
    }
    Open(Header() + Entry(c.name, Pattern(c.size, 9)));
    const fs::path file = Output(c.directory, c.name);
    for (bool direct : {false, true}) {
      const char* how = direct ? ", directly" : ", by LibraryExtract";
      std::error_code made;
      if (std::string(c.obstacle) == "dir") fs::create_directories(file, made);
      if (std::string(c.obstacle) == "full") fs::create_symlink("/dev/full", file, made);
      ASSERT_FALSE(made) << c.why << how << ": cannot put the obstacle in place: " << made.message();
      const bool written =
          direct ? WriteDirectly(LIBRARY_FIRST_DATA, static_cast<std::int32_t>(c.size), c.directory, c.name)
                 : LibraryExtract(c.directory.c_str(), c.name.c_str()) == 1;
      EXPECT_FALSE(written) << c.why << how;
      EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(file))) << c.why << how << ": a file stayed";
      if (file.string().size() > PATH_LIMIT) {
        EXPECT_FALSE(fs::exists(file.string().substr(0, PATH_LIMIT)))
            << c.why << how << ": written under the name cut off";
      }
      if (std::string(c.obstacle) == "dir") {
        EXPECT_TRUE(fs::is_directory(file)) << c.why << how << ": the directory in the way went";
      }
      fs::remove(file, made);
    }
  }
  Open(Header() + Entry(longest, "fits"));
  ASSERT_EQ(LibraryExtract(out_.c_str(), longest.c_str()), 1);
  EXPECT_EQ(Read(Output(out_, longest)), "fits");
  fs::remove(Output(out_, longest));
  ASSERT_TRUE(WriteDirectly(LIBRARY_FIRST_DATA, 4, out_, longest)) << "259 characters, directly";
  EXPECT_EQ(Read(Output(out_, longest)), "fits");
}

// The writer reads no further than it is told, and no less: data that runs
// past the end of the archive, or a negative size, writes nothing.
TEST_F(EntryWriterTest, DataThatIsNotThereWritesNothing) {
  Open(Header() + Entry("F", "short"));
  EXPECT_FALSE(WriteDirectly(LIBRARY_FIRST_DATA, 6, out_, "PAST"));
  EXPECT_FALSE(fs::exists(Output(out_, "PAST"))) << "the half-written file was left";
  EXPECT_FALSE(WriteDirectly(LIBRARY_FIRST_DATA, -1, out_, "NEGATIVE"));
  EXPECT_FALSE(fs::exists(Output(out_, "NEGATIVE")));
}

}  // namespace
