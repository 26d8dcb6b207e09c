// The installer's pass over the whole archive: every rule it must refuse an
// archive for, and the index it gives the extraction.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ArchiveBytes.h"
#include "ArchiveCases.h"
#include "payload/LibraryIndex.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

using Entries = ArchiveEntries;

struct Outcome {
  IndexResult result;
  std::string problem;
};

// Runs the pass over the bytes as a file, for the installation directory and
// code page of the target.
Outcome Index(const std::string& bytes, LibraryIndex& index, const NameTarget& target = {DIR10.size(), 1252}) {
  FileHandle file(std::tmpfile());
  EXPECT_TRUE(file) << "no temporary file";
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::fflush(file.get());
  IndexResult result = IndexLibrary(file.get(), target, index, DataCrcs::Check);
  return {result, index.Problem()};
}

TEST(LibraryIndexTest, RefusesEveryArchiveTheExtractionCannotTrust) {
  for (const RefusedArchive& c : HostileArchives()) {
    LibraryIndex index;
    Outcome outcome = Index(c.archive, index, TargetOf(c));
    EXPECT_EQ(outcome.result, c.result) << c.why << ": " << outcome.problem;
    EXPECT_NE(outcome.problem.find(c.problem), std::string::npos) << c.why << ": " << outcome.problem;
    EXPECT_EQ(index.Count(), 0u) << c.why << ": a refused archive leaves nothing to extract";
  }
}

TEST(LibraryIndexTest, AcceptsWhatTheFormatAllows) {
  for (const AcceptedArchive& c : AcceptedArchives()) {
    LibraryIndex index;
    Outcome outcome = Index(c.archive, index, TargetOf(c));
    EXPECT_EQ(outcome.result, IndexResult::Ok) << c.why << ": " << outcome.problem;
    EXPECT_EQ(index.Count(), c.entries) << c.why;
  }
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
  for (const RefusedArchive& c : DamagedCheckedArchives()) {
    LibraryIndex index;
    Outcome outcome = Index(c.archive, index);
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

// A stream over bytes in memory that counts what is read from it, and reads
// no more than each read asks for (no buffer of its own).
struct CountingSource {
  std::string bytes;
  std::size_t at = 0;
  std::size_t read = 0;
};

FileHandle OpenCounting(CountingSource& source) {
  cookie_io_functions_t functions = {};
  functions.read = [](void* cookie, char* into, std::size_t size) -> ssize_t {
    auto& s = *static_cast<CountingSource*>(cookie);
    const std::size_t n = std::min(size, s.at < s.bytes.size() ? s.bytes.size() - s.at : 0);
    std::memcpy(into, s.bytes.data() + s.at, n);
    s.at += n;
    s.read += n;
    return static_cast<ssize_t>(n);
  };
  functions.seek = [](void* cookie, off64_t* offset, int whence) -> int {
    auto& s = *static_cast<CountingSource*>(cookie);
    const auto at = static_cast<off64_t>(s.at), end = static_cast<off64_t>(s.bytes.size());
    const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? at : end;
    if (base + *offset < 0) return -1;
    s.at = static_cast<std::size_t>(base + *offset);
    *offset = static_cast<off64_t>(s.at);
    return 0;
  };
  FileHandle file(fopencookie(&source, "rb", functions));
  if (file) std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

// When the data was checked as the archive was expanded, the pass seeks over
// every entry's data and reads the headers alone, yet still refuses all that
// it refused, but for damage to the data.
TEST(LibraryIndexTest, SkippingTheDataReadsTheHeadersAlone) {
  const Entries entries = {{"A.TXT", std::string(70000, 'a')}, {"EMPTY", ""}, {"B\\C.TXT", std::string(3000, 'c')}};
  for (const std::string& archive : {CheckedArchive(entries), PlainArchive(entries)}) {
    CountingSource source{archive};
    FileHandle file = OpenCounting(source);
    ASSERT_TRUE(file);
    LibraryIndex index;
    ASSERT_EQ(IndexLibrary(file.get(), {DIR10.size(), 1252}, index, DataCrcs::Skip), IndexResult::Ok)
        << index.Problem();
    EXPECT_EQ(index.Count(), entries.size());
    EXPECT_EQ(source.read, LIBRARY_HEADER_SIZE + entries.size() * LIBRARY_ENTRY_HEADER_SIZE);
  }
  std::vector<RefusedArchive> refused = HostileArchives();
  for (const RefusedArchive& c : DamagedCheckedArchives()) refused.push_back(c);
  for (const RefusedArchive& c : refused) {
    FileHandle file(std::tmpfile());
    ASSERT_TRUE(file);
    std::fwrite(c.archive.data(), 1, c.archive.size(), file.get());
    std::fflush(file.get());
    LibraryIndex index;
    const IndexResult result = IndexLibrary(file.get(), TargetOf(c), index, DataCrcs::Skip);
    const bool dataDamage = std::string(c.problem) == "data is damaged";
    EXPECT_EQ(result, dataDamage ? IndexResult::Ok : c.result) << c.why << ": " << index.Problem();
  }
}

}  // namespace
