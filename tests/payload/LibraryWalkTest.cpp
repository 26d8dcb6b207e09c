// The walk over an archive: what it gives and where it stops, from a stream
// or from memory, with the data passed over or read.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "payload/LibraryWalk.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct Seen {
  std::string name;
  std::int64_t dataOffset;
  std::int32_t size;
  bool intact;
};

bool operator==(const Seen& a, const Seen& b) {
  return a.name == b.name && a.dataOffset == b.dataOffset && a.size == b.size && a.intact == b.intact;
}

std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << "{" << s.name << " @" << s.dataOffset << " size " << s.size << (s.intact ? "" : " damaged") << "}";
}

// Everything a walk reported, from the first entry to where it stopped.
struct Outcome {
  std::vector<Seen> entries;
  LibraryMarking marking;
  WalkStep last;  // End or Refused
  LibraryFault fault;
  int faultEntry;
  std::int64_t faultOffset;
  std::int64_t missing;
  std::size_t trailing;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.entries == b.entries && a.marking == b.marking && a.last == b.last && a.fault == b.fault &&
         a.faultEntry == b.faultEntry && a.faultOffset == b.faultOffset && a.missing == b.missing &&
         a.trailing == b.trailing;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << testing::PrintToString(o.entries) << " marking " << static_cast<int>(o.marking) << ", step "
      << static_cast<int>(o.last) << ", fault " << static_cast<int>(o.fault) << " at entry " << o.faultEntry
      << ", offset " << o.faultOffset << ", missing " << o.missing << ", trailing " << o.trailing;
  return out;
}

// A stream over the bytes, from its start, in a temporary file.
FileHandle StreamOf(const std::string& bytes) {
  FileHandle file(std::tmpfile());
  EXPECT_TRUE(file) << "no temporary file";
  if (!file) return file;
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::rewind(file.get());
  return file;
}

// Walks the input to its end. With readData, every entry's data is read in
// pieces of a few bytes; otherwise the walk passes over it.
Outcome Walk(ArchiveInput& input, bool readData) {
  Outcome o{};
  LibraryWalk walk;
  o.last = WalkStep::Refused;
  if (LibraryWalkBegin(walk, input, LIBRARY_ACCESS_NAME) == LibraryFault::None) {
    WalkedEntry entry;
    unsigned char piece[7];
    for (;;) {
      o.last = LibraryWalkNext(walk, entry);
      if (o.last != WalkStep::Entry) break;
      o.entries.push_back({entry.header.name, entry.dataOffset, entry.size, entry.headerIntact});
      if (readData) {
        while (LibraryWalkRead(walk, piece, sizeof piece) > 0) {
        }
      }
    }
  }
  o.marking = walk.marking;
  o.fault = walk.fault;
  o.faultEntry = walk.faultEntry;
  o.faultOffset = walk.faultOffset;
  o.missing = walk.missing;
  o.trailing = walk.trailing;
  return o;
}

Outcome Ended(std::vector<Seen> entries, std::size_t trailing = 0, LibraryMarking marking = LibraryMarking::Unchecked) {
  return {std::move(entries), marking, WalkStep::End, LibraryFault::None, -1, 0, 0, trailing};
}

Outcome Refused(std::vector<Seen> entries, LibraryFault fault, int entry, std::int64_t offset,
                std::int64_t missing = 0) {
  return {std::move(entries), LibraryMarking::Unchecked, WalkStep::Refused, fault, entry, offset, missing, 0};
}

std::string Flipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
  return bytes;
}

// Entry 0's header at 23, its data at 547; entry 1's header at 552, its data
// at 1076; 1080 bytes in all.
const std::string TWO = PlainArchive({{"A.TXT", "alpha"}, {"DIR\\B", "beta"}});
const Seen A = {"A.TXT", 547, 5, true};
const Seen B = {"DIR\\B", 1076, 4, true};

// Whether the bytes come from a stream or from memory, and whether the data
// is passed over or read, the walk gives the same entries and stops at the
// same place for the same reason.
TEST(LibraryWalkTest, GivesEntriesAndStopsAtTheFirstFault) {
  const std::string unterminated(LIBRARY_NAME_FIELD, 'x');
  const std::string checked = CheckedArchive({{"A.TXT", "alpha"}, {"DIR\\B", "beta"}});
  const struct {
    const char* why;
    std::string archive;
    Outcome expected;
  } cases[] = {
      {"header only", Header(), Ended({})},
      {"two entries", TWO, Ended({A, B})},
      {"an empty entry", PlainArchive({{"E", ""}, {"F", "f"}}), Ended({{"E", 547, 0, true}, {"F", 1071, 1, true}})},
      {"523 trailing bytes are no entry", TWO + std::string(523, 't'), Ended({A, B}, 523)},
      {"524 trailing bytes are an entry header", TWO + std::string(524, 't'),
       Refused({A, B}, LibraryFault::NameUnterminated, 2, 1080)},
      {"an unterminated name first", Header() + EntryHeaderWithField(unterminated, 0),
       Refused({}, LibraryFault::NameUnterminated, 0, 23)},
      {"a negative size after a good entry", Header() + Entry("A.TXT", "alpha") + EntryHeaderWithField("N", -1),
       Refused({A}, LibraryFault::SizeNegative, 1, 552)},
      {"the last entry's data a byte short", TWO.substr(0, TWO.size() - 1),
       Refused({A, B}, LibraryFault::DataPastEnd, 1, 1079, 1)},
      {"the first entry's data cut short: nothing after it is read",
       (Header() + Entry("A.TXT", std::string(100, 'a')) + Entry("B", "b")).substr(0, 587),
       Refused({{"A.TXT", 547, 100, true}}, LibraryFault::DataPastEnd, 0, 587, 60)},
      {"a size far past the end", Header() + EntryHeaderWithField(StoredName("A"), 0x7FFFFFFF),
       Refused({{"A", 547, 0x7FFFFFFF, true}}, LibraryFault::DataPastEnd, 0, 547, 0x7FFFFFFF)},
      {"an entry header cut short after data",
       Header() + Entry("A", "x") + EntryHeaderWithField(StoredName("B"), 100) + "abc",
       Refused({{"A", 547, 1, true}, {"B", 1072, 100, true}}, LibraryFault::DataPastEnd, 1, 1075, 97)},
      {"the header a byte short", Header().substr(0, 22), Refused({}, LibraryFault::HeaderShort, -1, 22)},
      {"nothing at all", "", Refused({}, LibraryFault::HeaderShort, -1, 0)},
      {"another access name", Header("RMX97KELPB") + Entry("A", "x"), Refused({}, LibraryFault::NoAccessName, -1, 0)},
      {"checked", checked, Ended({A, B}, 0, LibraryMarking::Checked)},
      {"checked, an entry header damaged: given, and marked so", Flipped(checked, 23 + 100),
       Ended({{"A.TXT", 547, 5, false}, B}, 0, LibraryMarking::Checked)},
      {"checked, its marker damaged: read as unchecked", Flipped(Flipped(checked, 23 + 100), 2),
       Ended({A, B}, 0, LibraryMarking::Damaged)},
      {"unchecked, the same byte changed", Flipped(TWO, 23 + 100), Ended({A, B})},
  };
  for (const auto& c : cases) {
    for (bool readData : {false, true}) {
      const char* how = readData ? ", data read" : ", data passed over";
      ArchiveInput memory = ArchiveInMemory(c.archive.data(), c.archive.size());
      EXPECT_EQ(Walk(memory, readData), c.expected) << c.why << how << ", from memory";
      FileHandle file = StreamOf(c.archive);
      ASSERT_TRUE(file);
      ArchiveInput stream = ArchiveInStream(file.get(), StreamLength(file.get()));
      EXPECT_EQ(Walk(stream, readData), c.expected) << c.why << how << ", from a stream";
    }
  }
}

// The data comes restored, in pieces of any size, and in an archive with the
// kit builder's checks the walk tells whether it agrees with its CRC.
TEST(LibraryWalkTest, ReadsTheDataRestoredAndChecksItsCrc) {
  std::string every;
  for (int i = 0; i < 70000; ++i) every.push_back(static_cast<char>(i * 7 + i / 256));
  const ArchiveEntries entries = {{"ALL", every}, {"EMPTY", ""}, {"SHORT", "short"}};
  const std::string checked = CheckedArchive(entries);
  const std::size_t firstData = LIBRARY_FIRST_DATA;
  const std::size_t lastData = checked.size() - 5;
  const struct {
    const char* why;
    std::string archive;
    int changed;               // the entry whose data has a byte changed, or -1
    std::vector<bool> intact;  // the verdict on each entry's data
  } cases[] = {
      {"checked", checked, -1, {true, true, true}},
      {"checked, a byte of the first entry's data changed",
       Flipped(checked, firstData + 69999),
       0,
       {false, true, true}},
      {"checked, a byte of the last entry's data changed", Flipped(checked, lastData), 2, {true, true, false}},
      {"unchecked: nothing to check against", Flipped(PlainArchive(entries), lastData), 2, {true, true, true}},
  };
  for (const auto& c : cases) {
    for (std::size_t piece : {std::size_t{1}, std::size_t{4096}, std::size_t{64000}, std::size_t{100000}}) {
      ArchiveInput input = ArchiveInMemory(c.archive.data(), c.archive.size());
      LibraryWalk walk;
      ASSERT_EQ(LibraryWalkBegin(walk, input, LIBRARY_ACCESS_NAME), LibraryFault::None) << c.why;
      std::vector<unsigned char> buffer(piece);
      WalkedEntry entry;
      for (std::size_t i = 0; i < entries.size(); ++i) {
        ASSERT_EQ(LibraryWalkNext(walk, entry), WalkStep::Entry) << c.why << ", entry " << i;
        std::string data;
        while (const std::size_t got = LibraryWalkRead(walk, buffer.data(), buffer.size())) {
          EXPECT_LE(got, piece);
          data.append(reinterpret_cast<const char*>(buffer.data()), got);
        }
        EXPECT_EQ(walk.fault, LibraryFault::None) << c.why;
        EXPECT_EQ(LibraryWalkDataIntact(walk, entry), c.intact[i]) << c.why << ", entry " << i << ", pieces " << piece;
        // Restored byte for byte: the changed byte differs, and it alone.
        const std::string& plain = entries[i].second;
        ASSERT_EQ(data.size(), plain.size()) << c.why << ", entry " << i;
        std::size_t differing = 0;
        for (std::size_t k = 0; k < plain.size(); ++k) differing += data[k] != plain[k];
        EXPECT_EQ(differing, c.changed == static_cast<int>(i) ? 1u : 0u) << c.why << ", entry " << i;
      }
      EXPECT_EQ(LibraryWalkNext(walk, entry), WalkStep::End) << c.why;
    }
  }
}

// A stream that reads its bytes until a given offset and fails there, and
// whose seeks fail when told to: the platform's failures, which the walk
// must tell from the archive's end.
struct FailingSource {
  std::string bytes;
  std::size_t failAt;
  bool seeksFail;
  std::size_t at = 0;
};

FileHandle OpenFailing(FailingSource& source) {
  cookie_io_functions_t functions = {};
  functions.read = [](void* cookie, char* into, std::size_t size) -> ssize_t {
    auto& s = *static_cast<FailingSource*>(cookie);
    if (s.at >= s.failAt) return -1;
    std::size_t n = std::min(size, s.failAt - s.at);
    n = std::min(n, s.bytes.size() - std::min(s.at, s.bytes.size()));
    std::memcpy(into, s.bytes.data() + s.at, n);
    s.at += n;
    return static_cast<ssize_t>(n);
  };
  functions.seek = [](void* cookie, off64_t* offset, int whence) -> int {
    auto& s = *static_cast<FailingSource*>(cookie);
    if (s.seeksFail) return -1;
    const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off64_t>(s.at) : 0;
    s.at = static_cast<std::size_t>(base + *offset);
    *offset = static_cast<off64_t>(s.at);
    return 0;
  };
  FileHandle file(fopencookie(&source, "rb", functions));
  if (file) std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

TEST(LibraryWalkTest, AFailedReadOrSeekIsNoEnd) {
  const struct {
    const char* why;
    std::size_t failAt;
    bool seeksFail;
    bool readData;
    Outcome expected;
  } cases[] = {
      {"a read within the header", 10, false, false, Refused({}, LibraryFault::ReadFailed, -1, 0)},
      {"a read of the second entry header", 552 + 10, false, false, Refused({A}, LibraryFault::ReadFailed, 1, 552)},
      {"a read within the data", 547 + 3, false, true, Refused({A}, LibraryFault::ReadFailed, 0, 550)},
      {"a seek over the data", TWO.size(), true, false, Refused({A}, LibraryFault::ReadFailed, 0, 547)},
  };
  for (const auto& c : cases) {
    FailingSource source{TWO, c.failAt, c.seeksFail};
    FileHandle file = OpenFailing(source);
    ASSERT_TRUE(file) << c.why;
    ArchiveInput input = ArchiveInStream(file.get(), static_cast<std::int64_t>(TWO.size()));
    EXPECT_EQ(Walk(input, c.readData), c.expected) << c.why;
  }
}

}  // namespace
