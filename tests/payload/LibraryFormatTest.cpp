#include <cstring>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "payload/LibraryFormat.h"
#include "payload/LibraryWalk.h"

namespace {

TEST(LibraryFormatTest, DataTransformMapsEveryByteBothWays) {
  unsigned char bytes[256];
  for (int b = 0; b < 256; ++b) bytes[b] = static_cast<unsigned char>(b);
  DescrambleData(bytes, 256);
  EXPECT_EQ(bytes[0xEE], 0x00) << "a stored 0xEE restores to 0x00";
  EXPECT_EQ(bytes[0x00], 0x12) << "a stored 0x00 restores to 0x12";
  for (int b = 0; b < 256; ++b) EXPECT_EQ(bytes[b], static_cast<unsigned char>(b + 18)) << b;
  ScrambleData(bytes, 256);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(bytes[b], b) << b;

  // Every length and starting point, so that the word-wise inner loop and
  // the byte-wise tail both meet every value.
  unsigned char row[40];
  for (std::size_t start = 0; start < 8; ++start) {
    for (std::size_t length = 0; length + start <= sizeof row; ++length) {
      for (std::size_t k = 0; k < sizeof row; ++k) row[k] = static_cast<unsigned char>(k * 37 + start * 11 + length);
      DescrambleData(row + start, static_cast<std::int64_t>(length));
      for (std::size_t k = 0; k < sizeof row; ++k) {
        auto original = static_cast<unsigned char>(k * 37 + start * 11 + length);
        bool inside = k >= start && k < start + length;
        ASSERT_EQ(row[k], inside ? static_cast<unsigned char>(original + 18) : original) << start << " " << length;
      }
    }
  }

  unsigned char untouched[] = {1, 2, 3};
  DescrambleData(untouched, 0);
  DescrambleData(untouched, -5);
  EXPECT_EQ(untouched[0], 1);
  EXPECT_EQ(untouched[2], 3);
}

TEST(LibraryFormatTest, NameTransformStopsAtTheFirstZero) {
  struct {
    const char* why;
    std::string stored;
    std::size_t fieldSize;
    std::string restored;
  } cases[] = {
      {"plain name", StoredName("BIN\\QCC.EXE") + '\0', 260, "BIN\\QCC.EXE"},
      {"stored zero cuts it", StoredName("AB") + '\0' + StoredName("ABCD").substr(2), 260, "AB"},
      {"a byte restoring to zero cuts it", StoredName("AB") + static_cast<char>(2 + 37) + "\x7f", 260, "AB"},
      {"no zero: runs to the end of the field", StoredName("ABCDEF"), 4, "ABCD"},
      {"empty", std::string(1, '\0'), 260, ""},
  };
  for (const auto& c : cases) {
    char field[300] = {};
    std::memcpy(field, c.stored.data(), c.stored.size());
    std::string before(field, sizeof field);
    std::size_t length = DescrambleName(field, c.fieldSize);
    EXPECT_EQ(std::string(field, length), c.restored) << c.why;
    EXPECT_EQ(std::string(field + length + 1, sizeof field - length - 1), before.substr(length + 1))
        << c.why << ": bytes after the end are left alone";
  }
}

TEST(LibraryFormatTest, UnstorableCharactersAreFoundWhereTheTextSaysTheyAre) {
  struct {
    int index;
    unsigned char code;
  } cases[] = {{92, 127}, {93, 126}, {127, '\\'}, {218, 1}, {0, 219}};
  for (const auto& c : cases) {
    std::string name = StorableName(static_cast<std::size_t>(c.index) + 1);
    name[static_cast<std::size_t>(c.index)] = static_cast<char>(c.code);
    EXPECT_EQ(FindUnstorableCharacter(name.data(), name.size()), c.index) << c.index;
    char field[LIBRARY_NAME_FIELD];
    EXPECT_FALSE(ScrambleName(name.data(), name.size(), field, sizeof field)) << c.index;
  }
  // Every 7-bit name of up to 91 characters can be stored.
  for (int code = 1; code < 128; ++code) {
    std::string name(91, static_cast<char>(code));
    EXPECT_EQ(FindUnstorableCharacter(name.data(), name.size()), -1) << code;
  }
}

TEST(LibraryFormatTest, ScrambleNameIsTheInverseOfDescrambleName) {
  std::string longest = StorableName(LIBRARY_NAME_LIMIT);
  for (const std::string& name : {std::string("A\\B\\F.DAT"), longest, std::string("\x80\xff\x01 ~")}) {
    char field[LIBRARY_NAME_FIELD];
    ASSERT_TRUE(ScrambleName(name.data(), name.size(), field, sizeof field)) << name;
    EXPECT_EQ(std::string(field, name.size()), StoredName(name));
    EXPECT_EQ(DescrambleName(field, sizeof field), name.size());
    EXPECT_EQ(std::string(field, name.size()), name);
  }
  std::string tooLong(LIBRARY_NAME_FIELD, 'x');
  char field[LIBRARY_NAME_FIELD];
  EXPECT_FALSE(ScrambleName(tooLong.data(), tooLong.size(), field, sizeof field)) << "no room for the zero byte";
}

TEST(LibraryFormatTest, OpenEntryHeaderRefusesInvalidEntriesWithoutChangingThem) {
  struct {
    const char* why;
    std::string header;
    LibraryFault fault;
    std::string restored;  // the name once restored, where the header passes
  } cases[] = {
      {"ordinary", EntryHeaderWithField(StoredName("F"), 7), LibraryFault::None, "F"},
      {"largest size", EntryHeaderWithField(StoredName("F"), 2147483647), LibraryFault::None, "F"},
      {"zero in the last byte of the field", EntryHeaderWithField(StoredName(StorableName(259)), 0), LibraryFault::None,
       StorableName(259)},
      {"negative size", EntryHeaderWithField(StoredName("F"), -1), LibraryFault::SizeNegative, ""},
      {"name field without a zero", EntryHeaderWithField(std::string(260, 'n'), 0), LibraryFault::NameUnterminated, ""},
      {"both: the name field is told first", EntryHeaderWithField(std::string(260, 'n'), -1),
       LibraryFault::NameUnterminated, ""},
  };
  for (const auto& c : cases) {
    LibraryEntryHeader header;
    std::memcpy(&header, c.header.data(), sizeof header);
    bool intact = false;
    EXPECT_EQ(OpenEntryHeader(header, false, intact), c.fault) << c.why;
    EXPECT_TRUE(intact) << c.why << ": an unchecked archive has nothing to disagree with";
    if (c.fault != LibraryFault::None) {
      EXPECT_EQ(std::memcmp(&header, c.header.data(), sizeof header), 0) << c.why;
    } else {
      EXPECT_EQ(std::string(header.name), c.restored) << c.why;
    }
  }
  LibraryEntryHeader header;
  SetEntrySize(header, -2);
  EXPECT_EQ(EntrySize(header), -2);
  SetEntrySize(header, 0x12345678);
  EXPECT_EQ(header.size[0], 0x78) << "little-endian";
  EXPECT_EQ(EntrySize(header), 0x12345678);
}

// A header as the kit builder writes it: the access name, marked.
LibraryHeader MarkedHeader() {
  LibraryHeader header;
  std::memcpy(&header, Header().data(), sizeof header);
  MarkLibraryHeader(header);
  return header;
}

TEST(LibraryFormatTest, Crc32IsZlibsAndContinues) {
  const char check[] = "123456789";  // the CRC-32 check input
  EXPECT_EQ(Crc32(0, check, 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(Crc32(0, check, 4), check + 4, 5), 0xCBF43926u) << "continued from a first piece";
  EXPECT_EQ(Crc32(0, nullptr, 0), 0u);
}

TEST(LibraryFormatTest, MarkingTellsOurArchivesFromOthersAndFromDamage) {
  struct {
    const char* why;
    std::vector<std::size_t> changed;  // header bytes flipped after marking
    bool zeroFirst;                    // bytes 0..10 zero instead of marked
    LibraryMarking expected;
  } cases[] = {
      {"as marked", {}, false, LibraryMarking::Checked},
      {"one marker byte changed", {3}, false, LibraryMarking::Damaged},
      {"two marker bytes changed", {0, 6}, false, LibraryMarking::Damaged},
      {"three marker bytes changed: another maker's bytes", {0, 3, 6}, false, LibraryMarking::Unchecked},
      {"unread bytes all zero", {}, true, LibraryMarking::Unchecked},
  };
  for (const auto& c : cases) {
    LibraryHeader header = MarkedHeader();
    if (c.zeroFirst) std::memset(&header, 0, 11);
    auto* bytes = reinterpret_cast<unsigned char*>(&header);
    for (std::size_t at : c.changed) bytes[at] ^= 0x20;
    EXPECT_EQ(ReadLibraryMarking(header), c.expected) << c.why;
  }
  // Header() fills the unread bytes with 'h': nothing like the marker.
  LibraryHeader other;
  std::memcpy(&other, Header().data(), sizeof other);
  EXPECT_EQ(ReadLibraryMarking(other), LibraryMarking::Unchecked);

  // Whichever byte changes, marker, CRC or access name, the header no
  // longer checks; and a single change never passes for another maker's.
  for (std::size_t at = 0; at < LIBRARY_HEADER_SIZE; ++at) {
    for (unsigned char flip : {0x01, 0x80}) {
      LibraryHeader header = MarkedHeader();
      reinterpret_cast<unsigned char*>(&header)[at] ^= flip;
      EXPECT_EQ(ReadLibraryMarking(header), LibraryMarking::Damaged) << "byte " << at << " ^ " << int(flip);
    }
  }
}

TEST(LibraryFormatTest, SealedEntryHeaderNoticesAChangeAnywhere) {
  LibraryEntryHeader sealed;
  std::memcpy(&sealed, EntryHeaderWithField(StoredName("BIN\\QCC.EXE"), 70000).data(), sizeof sealed);
  SealEntryHeader(sealed, 0xCAFEF00Du);
  ASSERT_TRUE(EntryHeaderIntact(sealed));
  EXPECT_EQ(StoredDataCrc(sealed), 0xCAFEF00Du);
  EXPECT_EQ(sealed.dataCrc[0], 0x0D) << "little-endian";
  EXPECT_EQ(EntrySize(sealed), 70000) << "sealing leaves the size alone";

  // Its own CRC (0..3), the unread bytes, the name, the size, the data CRC.
  for (std::size_t at = 0; at < LIBRARY_ENTRY_HEADER_SIZE; ++at) {
    LibraryEntryHeader header = sealed;
    reinterpret_cast<unsigned char*>(&header)[at] ^= 0x04;
    EXPECT_FALSE(EntryHeaderIntact(header)) << "byte " << at;
  }
}

}  // namespace
