#include <unistd.h>
#include <zlib.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

#include "ArchiveBytes.h"
#include "TestCodePages.h"
#include "TestFiles.h"
#include "kit/LibraryScan.h"
#include "kit/LibraryWriter.h"
#include "kit/NamePolicy.h"
#include "kit/OutputFile.h"
#include "payload/LibraryReader.h"

namespace {

namespace fs = std::filesystem;

std::string Join(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}

// zlib's CRC-32 called directly, not through the format's wrapper.
std::uint32_t ZlibCrc(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::uint32_t Little32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIX32, value);
  return text;
}

// Bytes that differ from one megabyte to the next, so that a CRC over the
// wrong piece of a file cannot come out right.
std::string Noise(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

constexpr std::size_t MIB = 1 << 20;

using Entries = std::vector<std::pair<std::string, std::string>>;

// The archive as written from memory, header and entries in the order given.
std::string WrittenFromMemory(const Entries& entries) {
  std::vector<std::uint8_t> out;
  VectorSink sink(out);
  std::string error;
  EXPECT_TRUE(WriteLibraryHeader(sink, error)) << error;
  for (const auto& [name, data] : entries) {
    EXPECT_TRUE(WriteLibraryEntry(sink, name, reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), error))
        << error;
  }
  return std::string(out.begin(), out.end());
}

// Takes the archive's bytes, and on its second write, the first entry header
// (which the writer puts out between its two reads of a large file), runs
// change, as another program might rewrite the file while it is packed.
class ChangingSink : public ByteSink {
 public:
  ChangingSink(std::vector<std::uint8_t>& out, std::function<void()> change) : out_(out), change_(std::move(change)) {}
  bool Write(const unsigned char* data, std::size_t size, std::string&) override {
    if (++writes_ == 2) change_();
    out_.insert(out_.end(), data, data + size);
    return true;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::function<void()> change_;
  int writes_ = 0;
};

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
    if (!CollectTree(tree, OpenedCodePage(), files, problems_, notes_)) return "";
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

// Each refusal names the rule: the format's, or the installer's below the
// directory setup offers, C:\QUENV98.
TEST(EntryNameProblemTest, RefusesWhatTheFormatOrTheInstallerCannotHold) {
  std::string unstorable = std::string(92, 'a') + '\x7f';  // stored as zero at index 92
  struct {
    std::string name;
    const char* problem;  // words of the refusal; "" when the name is accepted
    const char* why;
  } cases[] = {
      {"README.TXT", "", "plain"},
      {"BIN\\QCC.EXE", "", "in a directory"},
      {StorableName(248), "", "248 characters: a path of 259 below C:\\QUENV98"},
      {StorableName(249), "longer than 259 characters (below C:\\QUENV98)", "249 characters"},
      {StorableName(260), "the name has 260 bytes; an entry name has at most 259", "more than the format holds"},
      {StorableName(236) + "\\F", "", "a directory's path of 247 characters below C:\\QUENV98"},
      {StorableName(237) + "\\F", "longer than 247 characters, which Windows does not create (below C:\\QUENV98)",
       "a directory's path of 248"},
      {std::string(92, 'a') + "~", "", "index 92 with a character that stores"},
      {unstorable.substr(0, 92) + "b\x7e", "stored as a zero byte", "stores as zero at index 93"},
      {std::string("a\0b", 3), "zero byte", "zero byte"},
      {"..\\x", "ends in a dot", "leaves the directory"},
      {"NUL.TXT", "like a device", "device"},
      {"COM\xB9.TXT", "like a device", "a port by its superscript digit"},
      {"a.", "ends in a dot", "trailing dot"},
      {"a?b", "one of : < > \" | ? *", "wildcard"},
      {"a<b", "one of : < > \" | ? *", "angle bracket"},
      {"a|b", "one of : < > \" | ? *", "pipe"},
      {"say \"hi\"", "one of : < > \" | ? *", "quote"},
      {"data.vnx\\README.TXT", "the archive's own name", "a directory where the archive lies"},
  };
  for (const auto& c : cases) {
    const std::string problem = EntryNameProblem(c.name, OpenedCodePage());
    if (c.problem[0] == '\0') {
      EXPECT_EQ(problem, "") << c.why;
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.why << ": " << problem;
    }
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

  ArchiveInput input = ArchiveInMemory(archive.data(), archive.size());
  LibraryCheck check;
  EXPECT_TRUE(VerifyLibrary(input, OpenedCodePage(), check)) << Join(check.problems);
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
  ASSERT_TRUE(CollectTree(first, OpenedCodePage(), files, problems_, notes_)) << Join(problems_);
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
    ASSERT_TRUE(CollectTree(tree, OpenedCodePage(), files, problems_, notes_));
    WriteFile(tree / "f", change == std::string("shrank") ? "123" : "1234567");
    std::vector<std::uint8_t> out;
    VectorSink sink(out);
    std::string error;
    EXPECT_FALSE(WriteLibrary(files, sink, error)) << change;
    EXPECT_NE(error.find("f: the file " + std::string(change)), std::string::npos) << error;
  }
}

TEST_F(LibraryWriterTest, ArchiveIsMarkedAndEachEntrySealedWithTheCrcOfItsPlainBytes) {
  // Around the copy buffer: a file of up to 1 MiB is read once, a larger one
  // twice.
  const Entries files = {
      {"A.BIN", Noise(MIB, 1)}, {"B.BIN", Noise(MIB + 1, 2)}, {"C.BIN", Noise(3 * MIB + 5, 3)}, {"EMPTY", ""},
      {"SMALL", "small"},
  };
  fs::path tree = dir_ / "tree";
  for (const auto& [name, data] : files) WriteFile(tree / name, data);
  std::string archive = Pack(tree);
  ASSERT_FALSE(archive.empty()) << Join(problems_);

  EXPECT_EQ(archive.substr(0, 7), "QVCRC32");
  EXPECT_EQ(Little32(archive, 7), ZlibCrc(archive.substr(0, 7) + archive.substr(11, 12))) << "header CRC";
  std::size_t at = LIBRARY_HEADER_SIZE;
  for (const auto& [name, data] : files) {
    ASSERT_LE(at + LIBRARY_ENTRY_HEADER_SIZE, archive.size()) << name;
    std::string header = archive.substr(at, LIBRARY_ENTRY_HEADER_SIZE);
    EXPECT_EQ(Little32(header, 0), ZlibCrc(header.substr(4))) << name << ": entry header CRC";
    EXPECT_EQ(Little32(header, 520), ZlibCrc(data)) << name << ": CRC of the plain data";
    at += LIBRARY_ENTRY_HEADER_SIZE + data.size();
  }
  EXPECT_EQ(at, archive.size());
  EXPECT_TRUE(WrittenFromMemory(files) == archive) << "entries from memory are marked and sealed alike";
}

TEST_F(LibraryWriterTest, LargeFileThatChangesBetweenItsTwoReadsIsRefused) {
  const std::string original = Noise(MIB + 1, 7);
  std::string changed = original;
  changed[MIB / 2] = static_cast<char>(changed[MIB / 2] ^ 1);
  struct {
    const char* why;
    std::size_t size;         // of the file when it is walked and first read
    std::string replacement;  // what it holds from the entry header on
    const char* error;        // "" when the archive holds the file as first read
  } cases[] = {
      {"fits the buffer: read once, so a later change is not seen", MIB, changed.substr(0, MIB), ""},
      {"larger: same size, one byte changed", MIB + 1, changed, "big.bin: the file changed while it was packed"},
      {"larger: shrank", MIB + 1, original.substr(0, MIB), "big.bin: the file shrank while it was packed"},
      {"larger: grew", MIB + 1, original + "x", "big.bin: the file grew while it was packed"},
  };
  for (const auto& c : cases) {
    fs::path tree = dir_ / "tree";
    fs::remove_all(tree);
    const std::string first = original.substr(0, c.size);
    WriteFile(tree / "big.bin", first);
    std::vector<TreeFile> files;
    ASSERT_TRUE(CollectTree(tree, OpenedCodePage(), files, problems_, notes_)) << Join(problems_);
    std::vector<std::uint8_t> out;
    ChangingSink sink(out, [&] { WriteFile(tree / "big.bin", c.replacement); });
    std::string error;
    bool written = WriteLibrary(files, sink, error);
    EXPECT_EQ(written, c.error[0] == '\0') << c.why << ": " << error;
    if (c.error[0] != '\0') {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.why << ": " << error;
      continue;
    }
    std::string archive(out.begin(), out.end());
    EXPECT_TRUE(archive.substr(LIBRARY_FIRST_DATA) == StoredData(first)) << c.why;
    ArchiveInput input = ArchiveInMemory(out.data(), out.size());
    LibraryCheck check;
    EXPECT_TRUE(VerifyLibrary(input, OpenedCodePage(), check)) << c.why << ": " << Join(check.problems);
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
      {"parent directory", Header() + Entry("..\\evil", "x"), "entry 0 \"..\\evil\": a component ends in a dot"},
      {"drive", Header() + Entry("C:\\evil", "x"), "one of : < >"},
      {"empty name", Header() + Entry("", "x"), "empty name or component"},
      {"a wildcard, in an archive made elsewhere", Header() + Entry("A", "a") + Entry("DOC\\A?B.TXT", "x"),
       "entry 1 \"DOC\\A?B.TXT\": the name holds one of : < > \" | ? *"},
      {"a directory named like the archive", Header() + Entry("A", "a") + Entry("Data.Vnx\\README.TXT", "x"),
       "entry 1 \"Data.Vnx\\README.TXT\": the first component is DATA.VNX"},
      {"a directory's path of 248 characters below C:\\QUENV98",
       Header() + Entry("A", "a") + Entry(StorableName(237) + "\\F", "x"),
       "a directory's path is longer than 247 characters, which Windows does not create (below C:\\QUENV98)"},
      {"a file's path of 260 characters below C:\\QUENV98", Header() + Entry(StorableName(249), "x"),
       "the path is longer than 259 characters (below C:\\QUENV98)"},
      {"a port by its superscript digit", Header() + Entry("LPT\xB2", "x"), "named like a device"},
      {"duplicate", Header() + Entry("A", "1") + Entry("A", "2"), "duplicate"},
      {"case clash", Header() + Entry("A.TXT", "1") + Entry("a.txt", "2"), "differs only in case"},
      {"slash and backslash name one file", Header() + Entry("d\\f", "1") + Entry("D/F", "2"), "differs only in case"},
      {"file needed as a directory", Header() + Entry("x", "1") + Entry("X\\y", "2"), "as a directory"},
      {"the archive's own name", Header() + Entry("\\data.vnx", "1"), "the archive's own name"},
  };
  for (const auto& c : cases) {
    ArchiveInput input = ArchiveInMemory(c.archive.data(), c.archive.size());
    LibraryCheck check;
    bool sound = VerifyLibrary(input, OpenedCodePage(), check);
    EXPECT_EQ(sound, c.problem[0] == '\0') << c.why << ": " << Join(check.problems);
    if (c.problem[0] != '\0') {
      EXPECT_NE(Join(check.problems).find(c.problem), std::string::npos) << c.why << ": " << Join(check.problems);
    }
  }
}

TEST(VerifyLibraryTest, RefusesDamageToACheckedArchiveNamingTheEntry) {
  const Entries entries = {{"A.TXT", "alpha"}, {"DIR\\B.TXT", "beta"}};
  const std::string packed = WrittenFromMemory(entries);
  // Entry 0's header at 23, its data at 547; entry 1's header at 552, its
  // data at 1076.
  const std::size_t entry0 = LIBRARY_HEADER_SIZE;
  const std::size_t entry1 = LIBRARY_FIRST_DATA + 5;
  const std::size_t data1 = entry1 + LIBRARY_ENTRY_HEADER_SIZE;
  ASSERT_EQ(packed.size(), data1 + 4);
  std::string damagedBeta = "beta";
  damagedBeta[2] = static_cast<char>(damagedBeta[2] ^ 0x40);
  const std::string mismatch = "data CRC mismatch: the header holds " + Hex32(ZlibCrc("beta")) + ", the data gives " +
                               Hex32(ZlibCrc(damagedBeta));
  const std::string damaged = "the entry header is damaged";
  struct {
    const char* why;
    std::size_t offset;  // of the byte flipped by 0x40, or npos for none
    std::string label;   // how the problem names the entry
    std::string problem;
  } cases[] = {
      {"as packed", std::string::npos, "", ""},
      {"a data byte", data1 + 2, "entry 1 \"DIR\\B.TXT\": ", mismatch},
      // The second character of the name is the damaged one.
      {"a name byte", entry1 + 256 + 1, "entry 1 \"D", damaged},
      {"the unread part of an entry header", entry0 + 100, "entry 0 \"A.TXT\": ", damaged},
      {"the data CRC", entry1 + 521, "entry 1 \"DIR\\B.TXT\": ", damaged},
      {"the entry header's own CRC", entry0 + 2, "entry 0 \"A.TXT\": ", damaged},
      {"the header's marker", 4, "", "the header's check marker or CRC is damaged"},
      {"the header's CRC", 8, "", "the header's check marker or CRC is damaged"},
  };
  for (const auto& c : cases) {
    std::string archive = packed;
    if (c.offset != std::string::npos) archive[c.offset] = static_cast<char>(archive[c.offset] ^ 0x40);
    ArchiveInput input = ArchiveInMemory(archive.data(), archive.size());
    LibraryCheck check;
    EXPECT_EQ(VerifyLibrary(input, OpenedCodePage(), check), c.problem.empty())
        << c.why << ": " << Join(check.problems);
    if (c.problem.empty()) continue;
    ASSERT_FALSE(check.problems.empty()) << c.why;
    const std::string& first = check.problems[0];
    EXPECT_EQ(first.find(c.label), 0u) << c.why << ": " << first;
    EXPECT_NE(first.find(c.problem), std::string::npos) << c.why << ": " << first;
  }

  // The same entries from another maker, with anything in the unread bytes.
  std::string unmarked = Header();
  for (const auto& [name, data] : entries) unmarked += Entry(name, data);
  ArchiveInput input = ArchiveInMemory(unmarked.data(), unmarked.size());
  LibraryCheck check;
  EXPECT_TRUE(VerifyLibrary(input, OpenedCodePage(), check)) << Join(check.problems);
  EXPECT_EQ(check.entries, 2u);
}

TEST(LibraryScannerTest, ListsOffsetsAndSkipsDataUnread) {
  std::string archive = Header() + Entry("A", "12345") + Entry("B", std::string(70000, 'b')) + Entry("C", "");
  ArchiveInput input = ArchiveInMemory(archive.data(), archive.size());
  LibraryScanner scanner(input, OpenedCodePage());
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
