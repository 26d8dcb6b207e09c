#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "ArchiveBytes.h"
#include "TestFiles.h"
#include "kit/LibraryScan.h"
#include "kit/LibraryWriter.h"
#include "kit/OutputFile.h"
#include "payload/LibraryReader.h"

namespace {

namespace fs = std::filesystem;

std::string Join(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}

class LibraryWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-writer-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    LibraryClose();
    fs::remove_all(dir_);
  }

  // Collects and writes the tree; the archive's bytes, or "" with problems.
  std::string Pack(const fs::path& tree) {
    std::vector<TreeFile> files;
    problems_.clear();
    notes_.clear();
    if (!CollectTree(tree, files, problems_, notes_)) return "";
    std::vector<std::uint8_t> out;
    VectorSink sink(out);
    std::string error;
    EXPECT_TRUE(WriteLibrary(files, sink, error)) << error;
    EXPECT_EQ(out.size(), LibrarySize(files));
    return std::string(out.begin(), out.end());
  }

  fs::path dir_;
  std::vector<std::string> problems_;
  std::vector<std::string> notes_;
};

TEST(EntryNameProblemTest, RefusesWhatTheFormatOrTheInstallerCannotHold) {
  std::string storable259 = StorableName(259);
  std::string unstorable = std::string(92, 'a') + '\x7f';  // stored as zero at index 92
  struct {
    std::string name;
    bool accepted;
    const char* why;
  } cases[] = {
      {"README.TXT", true, "plain"},
      {"BIN\\QCC.EXE", true, "in a directory"},
      {storable259, true, "259 characters"},
      {storable259 + "a", false, "260 characters"},
      {std::string(92, 'a') + "~", true, "index 92 with a character that stores"},
      {unstorable.substr(0, 92) + "b\x7e", false, "stores as zero at index 93"},
      {std::string("a\0b", 3), false, "zero byte"},
      {"..\\x", false, "leaves the directory"},
      {"NUL.TXT", false, "device"},
      {"a.", false, "trailing dot"},
      {"a?b", false, "wildcard"},
      {"a<b", false, "angle bracket"},
      {"a|b", false, "pipe"},
      {"say \"hi\"", false, "quote"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EntryNameProblem(c.name).empty(), c.accepted) << c.why << ": " << EntryNameProblem(c.name);
  }
}

TEST_F(LibraryWriterTest, RoundTripsThroughTheInstallersReader) {
  fs::path tree = dir_ / "tree";
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::vector<std::pair<std::string, std::string>> files = {
      {"BIN/QCC.EXE", std::string(64001, 'x') + all},
      {"EMPTY", ""},
      {"include/sys/types.h", "typedef int x;\n"},
      {"ALL.BIN", all},
  };
  for (const auto& [name, data] : files) WriteFile(tree / name, data);
  std::string archive = Pack(tree);
  ASSERT_FALSE(archive.empty()) << Join(problems_);
  WriteFile(dir_ / "DATA.VNX", archive);

  std::string path = (dir_ / "DATA.VNX").string();
  ASSERT_EQ(LibraryOpen(path.c_str(), LIBRARY_ACCESS_NAME), 1);
  fs::create_directories(dir_ / "out");
  for (const auto& [name, data] : files) {
    std::string entry = name;
    for (char& c : entry) c = c == '/' ? '\\' : c;
    std::int32_t offset = 0;
    std::int32_t size = -1;
    ASSERT_EQ(LibraryFind(entry.c_str(), &offset, &size), 1) << entry;
    EXPECT_EQ(size, static_cast<std::int32_t>(data.size())) << entry;
    EXPECT_EQ(StoredData(data), archive.substr(static_cast<std::size_t>(offset), data.size())) << entry;
  }
  // The reader joins with a backslash, so only a name without one lands in
  // one piece on this platform.
  ASSERT_EQ(LibraryExtract((dir_ / "out").string().c_str(), "ALL.BIN"), 1);
  EXPECT_EQ(ReadFile((dir_ / "out").string() + "\\ALL.BIN"), all);

  MemoryInput input(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size());
  LibraryCheck check;
  EXPECT_TRUE(VerifyLibrary(input, check)) << Join(check.problems);
  EXPECT_EQ(check.entries, files.size());
}

TEST_F(LibraryWriterTest, SameTreeGivesSameBytesWhateverTheCreationOrderAndTimes) {
  const std::vector<std::string> names = {"b.txt", "a/z.h", "a b/c", "a-b", "A/y.h", "a.txt", "zz", "a/x/w"};
  fs::path first = dir_ / "first";
  fs::path second = dir_ / "second";
  for (const auto& name : names) WriteFile(first / name, "data of " + name);
  for (auto it = names.rbegin(); it != names.rend(); ++it) WriteFile(second / *it, "data of " + *it);
  fs::last_write_time(second / "zz", fs::last_write_time(second / "zz") - std::chrono::hours(100));

  std::vector<TreeFile> files;
  ASSERT_TRUE(CollectTree(first, files, problems_, notes_)) << Join(problems_);
  std::vector<std::string> order;
  for (const auto& f : files) order.push_back(f.name);
  EXPECT_EQ(order, (std::vector<std::string>{"A\\y.h", "a b\\c", "a-b", "a.txt", "a\\x\\w", "a\\z.h", "b.txt", "zz"}))
      << "byte order of the entry names";

  std::string a = Pack(first);
  std::string b = Pack(second);
  ASSERT_FALSE(a.empty());
  EXPECT_TRUE(a == b) << "the archive depends only on names and contents";
}

TEST_F(LibraryWriterTest, RefusesWhatCannotBeAnEntryNamingTheFile) {
  struct Case {
    const char* why;
    std::string offender;  // path below the tree that must be named
    std::function<void(const fs::path&)> make;
  };
  auto file = [](const std::string& name) { return [name](const fs::path& t) { WriteFile(t / name, "x"); }; };
  std::vector<Case> cases = {
      {"symbolic link to a file", "link", [](const fs::path& t) { fs::create_symlink("/etc/hostname", t / "link"); }},
      {"symbolic link to a directory", "dirlink",
       [](const fs::path& t) { fs::create_directory_symlink("/tmp", t / "dirlink"); }},
      {"fifo", "pipe", [](const fs::path& t) { ASSERT_EQ(::mkfifo((t / "pipe").c_str(), 0644), 0); }},
      {"backslash in a file name", "a\\b", file("a\\b")},
      {"backslash in a directory name", "d\\e", file("d\\e/f")},
      {"device name", "NUL.txt", file("NUL.txt")},
      {"device name as a directory", "aux", file("aux/readme")},
      {"trailing dot", "name.", file("name.")},
      {"trailing space", "name ", file("name ")},
      {"wildcard", "what?", file("what?")},
      {"control character", "tab\there", file("tab\there")},
      {"over 259 characters", std::string(100, 'd'),
       file(std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(60, 'f'))},
      {"names differing in case", "README.txt",
       [](const fs::path& t) {
         WriteFile(t / "README.txt", "1");
         WriteFile(t / "readme.TXT", "2");
       }},
      {"file and directory differing in case", "Bin",
       [](const fs::path& t) {
         WriteFile(t / "Bin", "1");
         WriteFile(t / "bin/x", "2");
       }},
      {"the archive's own name at the top", "data.vnx", file("data.vnx")},
  };
  for (const auto& c : cases) {
    fs::path tree = dir_ / "tree";
    fs::remove_all(tree);
    fs::create_directories(tree);
    WriteFile(tree / "good.txt", "fine");
    c.make(tree);
    EXPECT_EQ(Pack(tree), "") << c.why;
    ASSERT_FALSE(problems_.empty()) << c.why;
    EXPECT_NE(Join(problems_).find(c.offender), std::string::npos) << c.why << ": " << Join(problems_);
    EXPECT_EQ(Join(problems_).find("good.txt"), std::string::npos) << c.why << ": only the offender is named";
  }

  fs::path tree = dir_ / "tree";
  fs::remove_all(tree);
  WriteFile(tree / "sub/DATA.VNX", "below the top it is harmless");
  fs::create_directories(tree / "hollow");
  EXPECT_NE(Pack(tree), "") << Join(problems_);
  EXPECT_NE(Join(notes_).find("hollow"), std::string::npos) << "an empty directory is reported as not kept";
}

TEST_F(LibraryWriterTest, RefusesSizesBeyondTheSignedRange) {
  // Sparse files: the refusal comes from the sizes alone, before any read.
  fs::path big = dir_ / "big";
  WriteFile(big / "huge.bin", "");
  fs::resize_file(big / "huge.bin", 2147483648ull);
  Pack(big);
  EXPECT_NE(Join(problems_).find("huge.bin: 2147483648 bytes"), std::string::npos) << Join(problems_);

  fs::path two = dir_ / "two";
  WriteFile(two / "half1", "");
  WriteFile(two / "half2", "");
  fs::resize_file(two / "half1", 1100000000);
  fs::resize_file(two / "half2", 1100000000);
  Pack(two);
  ASSERT_EQ(problems_.size(), 1u) << Join(problems_);
  EXPECT_NE(problems_[0].find("the archive would have 2200001071 bytes"), std::string::npos) << problems_[0];
}

TEST_F(LibraryWriterTest, FileThatChangedSinceTheWalkFailsTheWrite) {
  fs::path tree = dir_ / "tree";
  for (const char* change : {"shrank", "grew"}) {
    WriteFile(tree / "f", "12345");
    std::vector<TreeFile> files;
    ASSERT_TRUE(CollectTree(tree, files, problems_, notes_));
    WriteFile(tree / "f", change == std::string("shrank") ? "123" : "1234567");
    std::vector<std::uint8_t> out;
    VectorSink sink(out);
    std::string error;
    EXPECT_FALSE(WriteLibrary(files, sink, error)) << change;
    EXPECT_NE(error.find("f: the file " + std::string(change)), std::string::npos) << error;
  }
}

TEST_F(LibraryWriterTest, OutputAppearsOnlyWhenCommitted) {
  fs::path target = dir_ / "DATA.VNX";
  WriteFile(target, "previous");
  std::string error;
  {
    OutputFile out;
    ASSERT_TRUE(out.Create(target, error)) << error;
    ASSERT_TRUE(out.Write("half", 4, error));
    EXPECT_EQ(ReadFile(target), "previous") << "the final name is untouched while writing";
  }
  EXPECT_EQ(ReadFile(target), "previous") << "abandoned output leaves the old file";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1) << "and no temporary file";

  {
    OutputFile out;
    ASSERT_TRUE(out.Create(target, error));
    ASSERT_TRUE(out.Write("whole", 5, error));
    ASSERT_TRUE(out.Commit(error)) << error;
  }
  EXPECT_EQ(ReadFile(target), "whole");

  // A directory in the way of the final name: the rename fails, the
  // temporary file goes.
  fs::path blocked = dir_ / "blocked";
  fs::create_directories(blocked / "inside");
  OutputFile out;
  ASSERT_TRUE(out.Create(blocked, error));
  ASSERT_TRUE(out.Write("x", 1, error));
  EXPECT_FALSE(out.Commit(error));
  EXPECT_NE(error.find("blocked"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST(VerifyLibraryTest, FindsWhatWouldNotInstall) {
  std::string good = Header() + Entry("A\\B.TXT", "hello") + Entry("C", "");
  std::string unterminated(LIBRARY_NAME_FIELD, 'x');
  struct {
    const char* why;
    std::string archive;
    const char* problem;  // "" when the archive is sound
  } cases[] = {
      {"sound", good, ""},
      {"header only", Header(), ""},
      {"other access name", Header("RMX97KELPB") + Entry("A", "x"), "access name"},
      {"short header", Header().substr(0, 20), "shorter than the 23-byte header"},
      {"one byte left over", good + "z", "1 bytes left over"},
      {"523 bytes left over", good + std::string(523, 'z'), "523 bytes left over"},
      {"524 stray bytes read as an entry header", good + std::string(524, 'z'), "no zero byte"},
      {"data cut short", good.substr(0, good.size() - 524 - 1), "runs past the end"},
      {"header cut short after data",
       Header() + Entry("A", "x") + EntryHeaderWithField(StoredName("B"), 100).substr(0, 524) + "abc",
       "runs past the end"},
      {"negative size", Header() + EntryHeaderWithField(StoredName("A"), -5), "negative size"},
      {"unterminated name", Header() + EntryHeaderWithField(unterminated, 0), "no zero byte"},
      {"parent directory", Header() + Entry("..\\evil", "x"), "not safe"},
      {"drive", Header() + Entry("C:\\evil", "x"), "not safe"},
      {"empty name", Header() + Entry("", "x"), "not safe"},
      {"duplicate", Header() + Entry("A", "1") + Entry("A", "2"), "duplicate"},
      {"case clash", Header() + Entry("A.TXT", "1") + Entry("a.txt", "2"), "differs only in case"},
      {"slash and backslash name one file", Header() + Entry("d\\f", "1") + Entry("D/F", "2"), "differs only in case"},
      {"file needed as a directory", Header() + Entry("x", "1") + Entry("X\\y", "2"), "as a directory"},
      {"the archive's own name", Header() + Entry("\\data.vnx", "1"), "overwrite the archive"},
  };
  for (const auto& c : cases) {
    MemoryInput input(reinterpret_cast<const std::uint8_t*>(c.archive.data()), c.archive.size());
    LibraryCheck check;
    bool sound = VerifyLibrary(input, check);
    EXPECT_EQ(sound, c.problem[0] == '\0') << c.why << ": " << Join(check.problems);
    if (c.problem[0] != '\0') {
      EXPECT_NE(Join(check.problems).find(c.problem), std::string::npos) << c.why << ": " << Join(check.problems);
    }
  }
}

TEST(LibraryScannerTest, ListsOffsetsAndSkipsDataUnread) {
  std::string archive = Header() + Entry("A", "12345") + Entry("B", std::string(70000, 'b')) + Entry("C", "");
  MemoryInput input(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size());
  LibraryScanner scanner(input);
  std::string problem;
  ASSERT_TRUE(scanner.ReadHeader(problem)) << problem;
  std::vector<std::tuple<std::string, std::int32_t, std::int64_t>> seen;
  ScannedEntry entry;
  while (scanner.Next(entry, problem) == ScanStep::Entry) seen.emplace_back(entry.name, entry.size, entry.dataOffset);
  EXPECT_EQ(seen, (std::vector<std::tuple<std::string, std::int32_t, std::int64_t>>{
                      {"A", 5, 547}, {"B", 70000, 547 + 5 + 524}, {"C", 0, 547 + 5 + 524 + 70000 + 524}}));
  EXPECT_EQ(scanner.TrailingBytes(), 0u);
}

}  // namespace
