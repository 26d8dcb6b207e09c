// The archive's checks made on its bytes as they are expanded: whatever pieces
// the bytes come in, the verdict and the problem of the pass over the file.
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "ArchiveCases.h"
#include "payload/LibraryIndex.h"
#include "payload/LibraryStreamCheck.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

const NameTarget DEFAULT = {DIR10.size(), 1252};

struct Outcome {
  IndexResult result;
  std::string problem;
};

bool operator==(const Outcome& a, const Outcome& b) { return a.result == b.result && a.problem == b.problem; }

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << static_cast<int>(o.result) << " \"" << o.problem << "\"";
}

// The pass over the archive as a file, its data's CRCs read.
Outcome FilePass(const std::string& bytes, const NameTarget& target) {
  FileHandle file(std::tmpfile());
  EXPECT_TRUE(file) << "no temporary file";
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::fflush(file.get());
  LibraryIndex index;
  const IndexResult result = IndexLibrary(file.get(), target, index, DataCrcs::Check);
  return {result, index.Problem()};
}

// The checks fed the bytes in pieces that end at each of the cuts, then the rest.
Outcome StreamCut(const std::string& bytes, const NameTarget& target, const std::vector<std::size_t>& cuts) {
  LibraryStreamCheck check;
  LibraryStreamBegin(check, target);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    LibraryStreamFeed(check, data + at, cut - at);
    at = cut;
  }
  LibraryStreamFeed(check, data + at, bytes.size() - at);
  const IndexResult result = LibraryStreamEnd(check);
  return {result, result == IndexResult::Ok ? "" : check.problem};
}

// The checks fed the bytes in pieces of one size, as the expansion's chunks.
Outcome StreamInPieces(const std::string& bytes, const NameTarget& target, std::size_t piece) {
  std::vector<std::size_t> cuts;
  for (std::size_t cut = piece; cut < bytes.size(); cut += piece) cuts.push_back(cut);
  return StreamCut(bytes, target, cuts);
}

struct Case {
  std::string why;
  std::string archive;
  NameTarget target;
  IndexResult result;
};

// Every archive of the tables, accepted and refused.
std::vector<Case> EveryArchive() {
  std::vector<Case> cases;
  for (const AcceptedArchive& c : AcceptedArchives()) cases.push_back({c.why, c.archive, TargetOf(c), IndexResult::Ok});
  for (const RefusedArchive& c : HostileArchives()) cases.push_back({c.why, c.archive, TargetOf(c), c.result});
  for (const RefusedArchive& c : DamagedCheckedArchives()) cases.push_back({c.why, c.archive, TargetOf(c), c.result});
  // Without the marker the same damage is no damage: nothing is checked
  // but what the format itself says.
  std::string unchecked = PlainArchive({{"A.TXT", "alpha"}, {"B.TXT", "beta"}});
  unchecked[LIBRARY_HEADER_SIZE + 100] ^= 1;
  unchecked[unchecked.size() - 1] ^= 1;
  cases.push_back({"unchecked, bytes changed in unread fields and data", unchecked, DEFAULT, IndexResult::Ok});
  return cases;
}

TEST(LibraryStreamCheckTest, JudgesEveryArchiveAsThePassOverTheFile) {
  for (const Case& c : EveryArchive()) {
    const Outcome file = FilePass(c.archive, c.target);
    ASSERT_EQ(file.result, c.result) << c.why << ": " << file.problem;
    for (std::size_t piece : {std::size_t{64000}, std::size_t{524}, std::size_t{1}}) {
      EXPECT_EQ(StreamInPieces(c.archive, c.target, piece), file) << c.why << ", in pieces of " << piece;
    }
  }
}

// A small archive in which every field lies across some boundary: cut at
// every byte, in two pieces, the checks judge it as the pass over the file.
TEST(LibraryStreamCheckTest, AnyChunkBoundaryInAnyField) {
  const ArchiveEntries entries = {
      {"BIN\\QCC.CFG", std::string(700, 'q')}, {"EMPTY", ""}, {"DOC\\README.TXT", std::string(900, 'r')}};
  const std::string checked = CheckedArchive(entries);
  const std::size_t secondName = LIBRARY_HEADER_SIZE + 2 * LIBRARY_ENTRY_HEADER_SIZE + 700 + 256 + 1;
  auto changed = [](std::string bytes, std::size_t at) {
    bytes[at] ^= 0x20;
    return bytes;
  };
  const struct {
    const char* why;
    std::string archive;
  } cases[] = {
      {"checked", checked},
      {"unchecked", PlainArchive(entries)},
      {"checked, trailing bytes", checked + std::string(300, 't')},
      {"checked, the last entry's last data byte damaged", changed(checked, checked.size() - 1)},
      {"checked, the second name damaged", changed(checked, secondName)},
      {"checked, cut inside the last entry's data", checked.substr(0, checked.size() - 1)},
      {"a hostile name after good entries", PlainArchive(entries) + Entry("..\\EVIL", "x")},
  };
  for (const auto& c : cases) {
    const Outcome file = FilePass(c.archive, DEFAULT);
    for (std::size_t cut = 0; cut <= c.archive.size(); ++cut) {
      ASSERT_EQ(StreamCut(c.archive, DEFAULT, {cut}), file) << c.why << ", cut at " << cut;
    }
  }
}

// Once an archive is refused, what follows cannot undo it, not even bytes
// that would pass on their own.
TEST(LibraryStreamCheckTest, RefusalIsFinal) {
  LibraryStreamCheck check;
  LibraryStreamBegin(check, DEFAULT);
  const std::string bad = PlainArchive({{"..\\EVIL", "x"}});
  const std::string good = Entry("A.TXT", "alpha");
  LibraryStreamFeed(check, reinterpret_cast<const unsigned char*>(bad.data()), bad.size());
  LibraryStreamFeed(check, reinterpret_cast<const unsigned char*>(good.data()), good.size());
  EXPECT_EQ(LibraryStreamEnd(check), IndexResult::Invalid);
  EXPECT_STREQ(check.problem, NameFaultText(NameFault::DotOrSpaceEnding));
}

}  // namespace
