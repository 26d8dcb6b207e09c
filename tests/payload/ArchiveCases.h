// Archives that the installer must accept, and archives that it must refuse
// before it writes anything, with the result and the words of the problem
// that its checks give for each. Every check of an archive, whether it reads
// a file or takes the bytes as they are expanded, must judge each alike.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "payload/LibraryIndex.h"

const std::string DIR10 = "C:\\QUENV98";  // 10 characters, the default directory

struct AcceptedArchive {
  std::string why;
  std::string archive;
  std::string directory;
  std::size_t entries;
  unsigned codePage = 1252;  // the machine's, which its names are read in
};

// What the entry-name rule judges the archive's names against.
template <typename Archive>
NameTarget TargetOf(const Archive& c) {
  return {c.directory.size(), c.codePage};
}

// A good entry, then one with the name given: the archives that once wrote
// the good entry before they failed.
inline std::string AfterAGoodEntry(const std::string& name) {
  return PlainArchive({{"GOOD.TXT", "good"}, {name, "bad"}});
}

// Archives at the edges of what the format and the extraction allow.
inline std::vector<AcceptedArchive> AcceptedArchives() {
  return {
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
      {"a directory's path of 247 characters", AfterAGoodEntry(StorableName(236) + "\\F.TXT"), DIR10, 2},
      {"COM and a katakana in Japanese", AfterAGoodEntry("COM\xB2.TXT"), DIR10, 2, 932},
      {"COM and l with a stroke in Central European", AfterAGoodEntry("COM\xB3.TXT"), DIR10, 2, 1250},
      {"a katakana whose second byte is 0x7C", AfterAGoodEntry("DOC\\\x83\x7C.TXT"), DIR10, 2, 932},
  };
}

struct RefusedArchive {
  std::string why;
  std::string archive;
  std::string directory;
  IndexResult result;
  const char* problem;       // words of the problem given
  unsigned codePage = 1252;  // the machine's, which its names are read in
};

// Archives that break a rule the extraction relies on.
inline std::vector<RefusedArchive> HostileArchives() {
  const std::string good = Entry("A.TXT", "alpha");
  return {
      {"header cut short", Header().substr(0, 22), DIR10, IndexResult::Unreadable, "ends within the header"},
      {"empty file", "", DIR10, IndexResult::Unreadable, "ends within the header"},
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
       "ends in a dot"},
      {"dot-dot component", PlainArchive({{"A\\..\\..\\EVIL.TXT", "x"}}), DIR10, IndexResult::Invalid, "ends in a dot"},
      {"dot-dot with slashes", PlainArchive({{"../EVIL.TXT", "x"}}), DIR10, IndexResult::Invalid, "ends in a dot"},
      {"drive", PlainArchive({{"C:\\AUTOEXEC.BAT", "x"}}), DIR10, IndexResult::Invalid, "one of : < >"},
      {"drive-relative", PlainArchive({{"D:EVIL.TXT", "x"}}), DIR10, IndexResult::Invalid, "one of : < >"},
      {"UNC", PlainArchive({{"\\\\SERVER\\SHARE\\X", "x"}}), DIR10, IndexResult::Invalid, "empty name or component"},
      {"device namespace", PlainArchive({{"\\\\.\\C:\\EVIL.TXT", "x"}}), DIR10, IndexResult::Invalid, "one of : < >"},
      {"device", PlainArchive({{"BIN\\NUL.TXT", "x"}}), DIR10, IndexResult::Invalid, "like a device"},
      {"empty name", PlainArchive({{"", "x"}}), DIR10, IndexResult::Invalid, "empty name or component"},
      {"name ending in a backslash", PlainArchive({{"BIN\\", "x"}}), DIR10, IndexResult::Invalid,
       "empty name or component"},
      {"the archive's own name", PlainArchive({{"DATA.VNX", "x"}}), DIR10, IndexResult::Invalid, "archive's own name"},
      {"the archive's own name in lower case, after a good entry", PlainArchive({{"A", "a"}, {"data.vnx", "x"}}), DIR10,
       IndexResult::Invalid, "archive's own name"},
      {"the archive's own name after a separator", PlainArchive({{"\\Data.Vnx", "x"}}), DIR10, IndexResult::Invalid,
       "archive's own name"},
      {"a top-level directory named like the archive", AfterAGoodEntry("Data.Vnx\\README.TXT"), DIR10,
       IndexResult::Invalid, "archive's own name"},
      {"a question mark", AfterAGoodEntry("DOC\\A?B.TXT"), DIR10, IndexResult::Invalid, "one of : < >"},
      {"a vertical bar", AfterAGoodEntry("DOC\\A|B.TXT"), DIR10, IndexResult::Invalid, "one of : < >"},
      {"a less-than sign", AfterAGoodEntry("DOC\\A<B.TXT"), DIR10, IndexResult::Invalid, "one of : < >"},
      {"a greater-than sign", AfterAGoodEntry("DOC\\A>B.TXT"), DIR10, IndexResult::Invalid, "one of : < >"},
      {"a quotation mark", AfterAGoodEntry("DOC\\A\"B.TXT"), DIR10, IndexResult::Invalid, "one of : < >"},
      {"an asterisk", AfterAGoodEntry("DOC\\A*B.TXT"), DIR10, IndexResult::Invalid, "one of : < >"},
      {"a directory's path of 248 characters", AfterAGoodEntry(StorableName(237) + "\\F.TXT"), DIR10,
       IndexResult::Invalid, "longer than 247"},
      {"COM with a superscript two in Western European", AfterAGoodEntry("COM\xB2.TXT"), DIR10, IndexResult::Invalid,
       "like a device"},
      {"COM with a superscript one in Korean", AfterAGoodEntry("COM\xA9\xF6.TXT"), DIR10, IndexResult::Invalid,
       "like a device", 949},
      {"joined path of 260 characters", PlainArchive({{StorableName(249), "x"}}), DIR10, IndexResult::Invalid,
       "longer than 259"},
      {"empty directory: 260 characters", PlainArchive({{StorableName(259), "x"}}), "", IndexResult::Invalid,
       "longer than 259"},
      {"524 trailing bytes are an entry header", PlainArchive({{"A", "a"}}) + std::string(524, 't'), DIR10,
       IndexResult::Invalid, "has no end"},
  };
}

// A checked archive with one byte changed, anywhere: the marker, the header,
// every region of an entry header, and the data.
inline std::vector<RefusedArchive> DamagedCheckedArchives() {
  const std::string archive = CheckedArchive({{"BIN\\QCC.CFG", "options"}, {"DOC\\README.TXT", "read me"}});
  const std::size_t second = LIBRARY_HEADER_SIZE + LIBRARY_ENTRY_HEADER_SIZE + 7;
  struct {
    const char* why;
    std::size_t offset;
    const char* problem;
  } damage[] = {
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
  std::vector<RefusedArchive> archives;
  for (const auto& d : damage) {
    std::string damaged = archive;
    damaged[d.offset] = static_cast<char>(damaged[d.offset] ^ 0x20);
    archives.push_back({std::string("checked, damaged: ") + d.why, damaged, DIR10, IndexResult::Invalid, d.problem});
  }
  return archives;
}
