#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

#include "ArchiveBytes.h"
#include "payload/LibraryReader.h"

namespace {

namespace fs = std::filesystem;

class LibraryReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-reader-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    archive_ = (dir_ / "DATA.VNX").string();
    out_ = (dir_ / "out").string();
  }
  void TearDown() override {
    LibraryClose();
    fs::remove_all(dir_);
  }

  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Writes the archive and opens it with the installer's access name.
  int Open(const std::string& bytes) {
    WriteFile(archive_, bytes);
    return LibraryOpen(archive_.c_str(), LIBRARY_ACCESS_NAME);
  }
  // The file LibraryExtract writes for a name: the directory and the name
  // joined with a backslash, as on Windows.
  std::string OutputPath(const std::string& name) const { return out_ + "\\" + name; }

  // Offset and size of the named entry, or {-1, -1} when LibraryFind fails.
  static std::pair<std::int32_t, std::int32_t> Find(const std::string& name) {
    std::int32_t offset = -1;
    std::int32_t size = -1;
    if (!LibraryFind(name.c_str(), &offset, &size)) return {-1, -1};
    return {offset, size};
  }

  fs::path dir_;
  std::string archive_;
  std::string out_;
};

TEST_F(LibraryReaderTest, HeaderOnlyArchiveVerifiesAndHoldsNothing) {
  EXPECT_EQ(Open(Header()), 1);
  EXPECT_EQ(LibraryVerify(), 1);
  EXPECT_EQ(Find("A").first, -1);
  EXPECT_EQ(LibraryExtract(out_.c_str(), "A"), 0);
}

TEST_F(LibraryReaderTest, AccessNameMustRestoreToExactlyTheExpectedString) {
  struct {
    const char* why;
    std::string archive;
    int verifies;
  } cases[] = {
      {"the expected name", Header("RMX97KELPA"), 1},
      {"bytes after the zero byte are not read", HeaderWithField(StoredName("RMX97KELPA") + '\0' + "\x55"), 1},
      {"a byte that restores to zero ends the name like a stored zero",
       HeaderWithField(StoredName("RMX97KELPA") + static_cast<char>(10 + 37) + "\x55"), 1},
      {"other case", Header("rmx97kelpa"), 0},
      {"one letter in other case", Header("RMX97KELPa"), 0},
      {"shorter", Header("RMX97KELP"), 0},
      {"longer", Header("RMX97KELPAX"), 0},
      {"field without a zero byte runs to the end of the header", HeaderWithField(StoredName("RMX97KELPAXY")), 0},
      {"empty name", Header(""), 0},
      {"stored unscrambled", HeaderWithField("RMX97KELPA"), 0},
      {"header one byte short, name intact", Header().substr(0, 22), 0},
      {"empty file", "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Open(c.archive), c.verifies) << c.why;
    EXPECT_TRUE(LibraryIsOpen()) << c.why << ": an existing archive stays open even when it does not verify";
    EXPECT_EQ(LibraryVerify(), c.verifies) << c.why << ": verification is repeatable";
  }
}

TEST_F(LibraryReaderTest, OpenAndCloseFollowTheTwoStates) {
  EXPECT_FALSE(LibraryIsOpen());
  EXPECT_EQ(LibraryVerify(), 0) << "nothing is open";

  ASSERT_EQ(Open(Header()), 1);
  const char* openPath = CurrentLibrary.path;
  std::string missing = (dir_ / "MISSING.VNX").string();
  EXPECT_EQ(LibraryOpen(missing.c_str(), "OTHER"), 0);
  EXPECT_EQ(CurrentLibrary.path, openPath) << "a missing archive leaves the open one in place";
  EXPECT_STREQ(CurrentLibrary.accessName, LIBRARY_ACCESS_NAME);
  EXPECT_EQ(LibraryVerify(), 1);

  EXPECT_EQ(LibraryOpen(archive_.c_str(), "OTHER"), 0) << "same file, other access name";
  EXPECT_STREQ(CurrentLibrary.accessName, "OTHER") << "a failed verification keeps the new values";

  LibraryClose();
  EXPECT_FALSE(LibraryIsOpen());
  EXPECT_EQ(LibraryVerify(), 0);
  EXPECT_EQ(Find("A").first, -1);
  LibraryClose();  // closing a closed library does nothing
  EXPECT_FALSE(LibraryIsOpen());

  EXPECT_TRUE(FileExists(archive_.c_str()));
  EXPECT_FALSE(FileExists(missing.c_str()));
}

TEST_F(LibraryReaderTest, FindWalksEntriesAndWorksOutDataOffsets) {
  ASSERT_EQ(Open(Header() + Entry("EMPTY", "") + Entry("A\\B\\F.DAT", "hello") + Entry("SAME", "first") +
                 Entry("README", "abc") + Entry("SAME", "second!")),
            1);
  struct {
    const char* name;
    std::int32_t offset;
    std::int32_t size;
  } cases[] = {
      {"EMPTY", 547, 0},
      {"A\\B\\F.DAT", 547 + 524, 5},
      {"SAME", 547 + 524 + 5 + 524, 5},  // of two entries with one name, the first
      {"README", 547 + 3 * 524 + 10, 3},
      {"readme", -1, -1},  // names are compared case-sensitively
      {"README ", -1, -1},
      {"READM", -1, -1},
      {"A\\B", -1, -1},  // directories are not entries
      {"", -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.name), std::make_pair(c.offset, c.size)) << c.name;
  }
}

TEST_F(LibraryReaderTest, BytesAfterTheLastEntryCountOnlyFromAFullHeader) {
  std::string base = Header() + Entry("FIRST", "data");
  std::string tail = EntryHeaderWithField(StoredName("TAIL"), 0);

  ASSERT_EQ(Open(base + tail.substr(0, 523)), 1);
  EXPECT_EQ(Find("FIRST").second, 4) << "523 trailing bytes do not disturb the entries before them";
  EXPECT_EQ(Find("TAIL").first, -1) << "523 trailing bytes are ignored";

  ASSERT_EQ(Open(base + tail), 1);
  EXPECT_EQ(Find("TAIL"), std::make_pair(static_cast<std::int32_t>(base.size() + 524), 0))
      << "524 trailing bytes are one more entry header";
}

TEST_F(LibraryReaderTest, InvalidEntryEndsTheArchive) {
  std::string unterminated(LIBRARY_NAME_FIELD, 'x');
  struct {
    const char* why;
    std::string bad;
  } cases[] = {
      {"negative size", EntryHeaderWithField(StoredName("BAD"), -1)},
      {"most negative size", EntryHeaderWithField(StoredName("BAD"), INT32_MIN)},
      {"name field without a zero byte", EntryHeaderWithField(unterminated, 0)},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Open(Header() + Entry("BEFORE", "1") + c.bad + Entry("AFTER", "2")), 1) << c.why;
    EXPECT_EQ(Find("BEFORE").second, 1) << c.why;
    EXPECT_EQ(Find("AFTER").first, -1) << c.why << ": nothing after an invalid entry is read";
    EXPECT_EQ(Find("BAD").first, -1) << c.why;
    EXPECT_EQ(LibraryExtract(out_.c_str(), "AFTER"), 0) << c.why;
  }
}

TEST_F(LibraryReaderTest, EveryByteValueSurvivesTheDataTransform) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  ASSERT_EQ(Open(Header() + Entry("ALL", all + all)), 1);
  ASSERT_EQ(LibraryExtract(out_.c_str(), "ALL"), 1);
  EXPECT_EQ(ReadFile(OutputPath("ALL")), all + all);
}

TEST_F(LibraryReaderTest, ExtractWritesTheFirstOfTwoEntriesWithOneName) {
  ASSERT_EQ(Open(Header() + Entry("SAME", "first") + Entry("SAME", "second entry")), 1);
  ASSERT_EQ(LibraryExtract(out_.c_str(), "SAME"), 1);
  EXPECT_EQ(ReadFile(OutputPath("SAME")), "first");
}

TEST_F(LibraryReaderTest, DataRunningPastTheEndFailsWithoutTouchingTheOutput) {
  std::string full = Header() + Entry("F", Pattern(70000, 3));
  for (std::size_t cut : {full.size() - 1, full.size() - 6001, std::size_t{547 + 1}, std::size_t{547}}) {
    WriteFile(OutputPath("F"), "previous");
    ASSERT_EQ(Open(full.substr(0, cut)), 1);
    EXPECT_EQ(Find("F").second, 70000) << cut << ": the header alone still finds the entry";
    EXPECT_EQ(LibraryExtract(out_.c_str(), "F"), 0) << cut;
    EXPECT_EQ(ReadFile(OutputPath("F")), "previous") << cut;
  }
}

TEST_F(LibraryReaderTest, ExtractFailsCleanly) {
  std::string archive = Header() + Entry("F", "data") + Entry("BAD", "x");
  struct {
    const char* why;
    std::string directory;
    std::string name;
  } cases[] = {
      {"entry not in the archive", out_, "G"},
      {"name in another case", out_, "f"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Open(archive), 1);
    EXPECT_EQ(LibraryExtract(c.directory.c_str(), c.name.c_str()), 0) << c.why;
  }

  // The archive changed under an open library: its header no longer verifies.
  ASSERT_EQ(Open(archive), 1);
  WriteFile(archive_, Header("OTHER") + Entry("F", "data"));
  EXPECT_EQ(LibraryExtract(out_.c_str(), "F"), 0);
  EXPECT_FALSE(fs::exists(OutputPath("F")));
}

TEST_F(LibraryReaderTest, NamesAtTheRepresentabilityLimit) {
  // 259 characters fill the field up to its zero byte; index 92 is the first
  // at which a 7-bit character (DEL) would be stored as zero.
  std::string longest = StorableName(259);
  std::string nearZero(92, 'b');
  nearZero += '\x7e';  // stored as 0xFF: the highest byte there is
  ASSERT_EQ(Open(Header() + Entry(longest, "L") + Entry(nearZero, "Z")), 1);
  EXPECT_EQ(Find(longest).second, 1);
  EXPECT_EQ(Find(nearZero).second, 1);

  // A stored zero inside the field cuts the name short there.
  std::string cut = StoredName("SHORT") + std::string(1, '\0') + StoredName("TAIL").substr(0, 3);
  ASSERT_EQ(Open(Header() + EntryHeaderWithField(cut, 0)), 1);
  EXPECT_EQ(Find("SHORT").second, 0);
}

TEST_F(LibraryReaderTest, OffsetsBeyondTheSignedRangeEndTheWalk) {
  // A sparse archive just over 2 GiB: the second entry header lies inside the
  // format's range, but its data would not, so it must not be reported with an
  // offset that wrapped to a negative number.
  std::int32_t first = LIBRARY_MAX_SIZE - 547 - 100;
  std::string head = Header() + EntryHeaderWithField(StoredName("BIG"), first);
  std::string second = EntryHeaderWithField(StoredName("BEYOND"), 0);
  {
    std::ofstream out(archive_, std::ios::binary);
    out << head;
    out.seekp(547 + static_cast<std::streamoff>(first));
    out << second;
  }
  ASSERT_EQ(fs::file_size(archive_), 547ull + first + 524);
  ASSERT_EQ(LibraryOpen(archive_.c_str(), LIBRARY_ACCESS_NAME), 1);
  EXPECT_EQ(Find("BIG"), std::make_pair(static_cast<std::int32_t>(547), first));
  EXPECT_EQ(Find("BEYOND").first, -1);
}

}  // namespace
