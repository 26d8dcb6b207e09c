// The installer's pass over the whole archive: every rule it must refuse an
// archive for, and the index it gives the extraction.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ArchiveBytes.h"
#include "payload/LibraryIndex.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

using Entries = std::vector<std::pair<std::string, std::string>>;

// An archive as the kit builder lays out a checked one: marker, header CRC,
// and each entry header sealed with its data's CRC.
std::string CheckedArchive(const Entries& entries) {
  LibraryHeader header;
  std::string plain = Header();
  std::memcpy(&header, plain.data(), sizeof header);
  MarkLibraryHeader(header);
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  for (const auto& [name, data] : entries) {
    std::string entry = Entry(name, data);
    LibraryEntryHeader sealed;
    std::memcpy(&sealed, entry.data(), sizeof sealed);
    SealEntryHeader(sealed, Crc32(0, data.data(), data.size()));
    bytes += std::string(reinterpret_cast<const char*>(&sealed), sizeof sealed) + entry.substr(sizeof sealed);
  }
  return bytes;
}

std::string PlainArchive(const Entries& entries) {
  std::string bytes = Header();
  for (const auto& [name, data] : entries) bytes += Entry(name, data);
  return bytes;
}

struct Outcome {
  IndexResult result;
  std::string problem;
};

// Runs the pass over the bytes as a file, with the installation directory.
Outcome Index(const std::string& bytes, LibraryIndex& index, const std::string& directory = "C:\\QUENV98") {
  FileHandle file(std::tmpfile());
  EXPECT_TRUE(file) << "no temporary file";
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::fflush(file.get());
  IndexResult result = IndexLibrary(file.get(), directory.c_str(), index);
  return {result, index.Problem()};
}

const std::string DIR10 = "C:\\QUENV98";  // 10 characters, the default directory

TEST(LibraryIndexTest, RefusesEveryArchiveTheExtractionCannotTrust) {
  const std::string good = Entry("A.TXT", "alpha");
  struct {
    const char* why;
    std::string archive;
    std::string directory;
    IndexResult result;
    const char* problem;
  } cases[] = {
      {"header cut short", Header().substr(0, 22), DIR10, IndexResult::Unreadable, "ends within the header"},
      {"wrong access name", Header("RMX97KELPB") + good, DIR10, IndexResult::Invalid, "access name"},
      {"unterminated name field", Header() + EntryHeaderWithField(std::string(260, 'x'), 0), DIR10,
       IndexResult::Invalid, "has no end"},
      {"negative size", Header() + EntryHeaderWithField(StoredName("A.TXT"), -1), DIR10, IndexResult::Invalid,
       "negative"},
      {"size past the end", Header() + EntryHeaderWithField(StoredName("A.TXT"), 6) + StoredData("alpha"), DIR10,
       IndexResult::Invalid, "past the end"},
      {"size far past the end", Header() + EntryHeaderWithField(StoredName("A.TXT"), 0x7FFFFFFF), DIR10,
       IndexResult::Invalid, "past the end"},
      {"a later entry bad, after a good one", Header() + good + Entry("..\\EVIL.TXT", "x"), DIR10, IndexResult::Invalid,
       "not safe"},
      {"dot-dot component", PlainArchive({{"A\\..\\..\\EVIL.TXT", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"dot-dot with slashes", PlainArchive({{"../EVIL.TXT", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"drive", PlainArchive({{"C:\\AUTOEXEC.BAT", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"drive-relative", PlainArchive({{"D:EVIL.TXT", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"UNC", PlainArchive({{"\\\\SERVER\\SHARE\\X", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"device", PlainArchive({{"BIN\\NUL.TXT", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"empty name", PlainArchive({{"", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"name ending in a backslash", PlainArchive({{"BIN\\", "x"}}), DIR10, IndexResult::Invalid, "not safe"},
      {"the archive's own name", PlainArchive({{"DATA.VNX", "x"}}), DIR10, IndexResult::Invalid, "own name"},
      {"the archive's own name in lower case", PlainArchive({{"data.vnx", "x"}}), DIR10, IndexResult::Invalid,
       "own name"},
      {"the archive's own name after a separator", PlainArchive({{"\\Data.Vnx", "x"}}), DIR10, IndexResult::Invalid,
       "own name"},
      {"joined path of 260 characters", PlainArchive({{StorableName(249), "x"}}), DIR10, IndexResult::Invalid,
       "too long"},
      {"empty directory: 260 characters", PlainArchive({{StorableName(259), "x"}}), "", IndexResult::Invalid,
       "too long"},
  };
  for (const auto& c : cases) {
    LibraryIndex index;
    Outcome outcome = Index(c.archive, index, c.directory);
    EXPECT_EQ(outcome.result, c.result) << c.why << ": " << outcome.problem;
    EXPECT_NE(outcome.problem.find(c.problem), std::string::npos) << c.why << ": " << outcome.problem;
    EXPECT_EQ(index.Count(), 0u) << c.why << ": a refused archive leaves nothing to extract";
  }
}

TEST(LibraryIndexTest, AcceptsWhatTheFormatAllows) {
  struct {
    const char* why;
    std::string archive;
    std::string directory;
    std::size_t entries;
  } cases[] = {
      {"header only", Header(), DIR10, 0},
      {"one entry", PlainArchive({{"A.TXT", "alpha"}}), DIR10, 1},
      {"empty entry", PlainArchive({{"EMPTY", ""}}), DIR10, 1},
      {"joined path of exactly 259 characters", PlainArchive({{StorableName(248), "x"}}), DIR10, 1},
      {"empty directory: exactly 259 characters", PlainArchive({{StorableName(258), "x"}}), "", 1},
      {"archive's name below a directory", PlainArchive({{"OLD\\DATA.VNX", "x"}}), DIR10, 1},
      {"a near miss of the archive's name", PlainArchive({{"DATA.VNX2", "x"}}), DIR10, 1},
      {"slashes and a leading separator", PlainArchive({{"\\BIN/QCC.CFG", "x"}}), DIR10, 1},
      {"523 trailing bytes ignored", PlainArchive({{"A", "a"}}) + std::string(523, 't'), DIR10, 1},
      {"checked", CheckedArchive({{"A", "alpha"}, {"B\\C", std::string(200000, 'c')}}), DIR10, 2},
      {"checked, no entries", CheckedArchive({}), DIR10, 0},
  };
  for (const auto& c : cases) {
    LibraryIndex index;
    Outcome outcome = Index(c.archive, index, c.directory);
    EXPECT_EQ(outcome.result, IndexResult::Ok) << c.why << ": " << outcome.problem;
    EXPECT_EQ(index.Count(), c.entries) << c.why;
  }
}

// 524 bytes or more after the last entry are an entry header: here one that
// is refused, so nothing of the archive is extracted.
TEST(LibraryIndexTest, TrailingBytesOfAnEntryHeaderAreAnEntry) {
  LibraryIndex index;
  Outcome outcome = Index(PlainArchive({{"A", "a"}}) + std::string(524, 't'), index);
  EXPECT_EQ(outcome.result, IndexResult::Invalid) << outcome.problem;
}

TEST(LibraryIndexTest, IndexGivesNamesDataAndTheEntryWhoseDataEachFileReceives) {
  const Entries entries = {
      {"A.TXT", "first"}, {"B\\C.TXT", "ccc"}, {"A.TXT", "second, never written"},
      {"a.txt", "lower"}, {"A.TXT", "third"},  {"EMPTY", ""},
  };
  for (bool checked : {false, true}) {
    LibraryIndex index;
    const std::string bytes = checked ? CheckedArchive(entries) : PlainArchive(entries);
    ASSERT_EQ(Index(bytes, index).result, IndexResult::Ok) << index.Problem();
    EXPECT_EQ(index.Checked(), checked);
    ASSERT_EQ(index.Count(), entries.size());
    // Names compare byte for byte: "a.txt" is an entry of its own.
    const std::uint32_t sources[] = {0, 1, 0, 3, 0, 5};
    std::uint32_t offset = LIBRARY_HEADER_SIZE;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      offset += LIBRARY_ENTRY_HEADER_SIZE;
      EXPECT_EQ(index.Name(i), entries[i].first) << i;
      EXPECT_EQ(index[i].dataOffset, offset) << i;
      EXPECT_EQ(index[i].size, static_cast<std::int32_t>(entries[i].second.size())) << i;
      EXPECT_EQ(index[i].source, sources[i]) << i << " " << entries[i].first;
      offset += static_cast<std::uint32_t>(entries[i].second.size());
    }
  }
}

// Many entries, many of them sharing names, against a plain search for the
// first entry of each name.
TEST(LibraryIndexTest, SourcesAgreeWithASearchFromTheStart) {
  Entries entries;
  for (int i = 0; i < 3000; ++i) {
    entries.push_back({"D" + std::to_string(i % 7) + "\\F" + std::to_string((i * 7919) % 1001), std::to_string(i)});
  }
  LibraryIndex index;
  ASSERT_EQ(Index(PlainArchive(entries), index).result, IndexResult::Ok) << index.Problem();
  ASSERT_EQ(index.Count(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::size_t first = 0;
    while (entries[first].first != entries[i].first) ++first;
    ASSERT_EQ(index[i].source, first) << i;
  }
}

// In a checked archive a change to any byte makes the pass refuse it: the
// marker, the header, an entry header's every region and the data.
TEST(LibraryIndexTest, CheckedArchiveRefusesADamagedByteAnywhere) {
  const std::string archive = CheckedArchive({{"BIN\\QCC.CFG", "options"}, {"DOC\\README.TXT", "read me"}});
  const std::size_t second = LIBRARY_HEADER_SIZE + LIBRARY_ENTRY_HEADER_SIZE + 7;
  struct {
    const char* why;
    std::size_t offset;
    const char* problem;
  } cases[] = {
      {"marker, one byte", 0, "marker"},
      {"marker, last byte", 6, "marker"},
      {"header CRC", 8, "marker"},
      {"access name field past its end", 22, "marker"},
      {"entry header CRC", LIBRARY_HEADER_SIZE + 1, "header is damaged"},
      {"entry header, unread bytes", LIBRARY_HEADER_SIZE + 100, "header is damaged"},
      {"entry name", LIBRARY_HEADER_SIZE + 256 + 2, "header is damaged"},
      {"entry size", LIBRARY_HEADER_SIZE + 516, "header is damaged"},
      {"entry data CRC", LIBRARY_HEADER_SIZE + 521, "header is damaged"},
      {"entry data", LIBRARY_HEADER_SIZE + LIBRARY_ENTRY_HEADER_SIZE + 3, "data is damaged"},
      {"second entry's name", second + 256, "header is damaged"},
      {"second entry's last data byte", archive.size() - 1, "data is damaged"},
  };
  for (const auto& c : cases) {
    std::string damaged = archive;
    damaged[c.offset] = static_cast<char>(damaged[c.offset] ^ 0x20);
    LibraryIndex index;
    Outcome outcome = Index(damaged, index);
    EXPECT_EQ(outcome.result, IndexResult::Invalid) << c.why;
    EXPECT_NE(outcome.problem.find(c.problem), std::string::npos) << c.why << ": " << outcome.problem;
  }
}

// The same damage in an archive without the marker passes: such an archive
// was made elsewhere and carries no CRCs to check.
TEST(LibraryIndexTest, UncheckedArchiveIsReadAsTheFormatSays) {
  std::string archive = PlainArchive({{"A.TXT", "alpha"}});
  archive[LIBRARY_HEADER_SIZE + 100] = 'x';
  archive[archive.size() - 1] ^= 1;
  LibraryIndex index;
  EXPECT_EQ(Index(archive, index).result, IndexResult::Ok) << index.Problem();
  EXPECT_FALSE(index.Checked());
}

// A pass after a refused one starts afresh, and a refused pass empties an
// index that held entries.
TEST(LibraryIndexTest, EveryPassStartsAfresh) {
  LibraryIndex index;
  ASSERT_EQ(Index(PlainArchive({{"A", "a"}, {"B", "b"}}), index).result, IndexResult::Ok);
  ASSERT_EQ(Index(PlainArchive({{"..", "a"}}), index).result, IndexResult::Invalid);
  EXPECT_EQ(index.Count(), 0u);
  ASSERT_EQ(Index(PlainArchive({{"C", "c"}}), index).result, IndexResult::Ok);
  ASSERT_EQ(index.Count(), 1u);
  EXPECT_STREQ(index.Name(0), "C");
  EXPECT_STREQ(index.Problem(), "");
}

}  // namespace
