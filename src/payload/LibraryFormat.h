// The library archive's on-disk format: its records, its constants and the
// two byte transforms with their inverses. The reader in SETUP.EXE and the
// kit builder's writer both take the format from here and nowhere else.
//
// Layout: a 23-byte LibraryHeader, then entries back to back, each a 524-byte
// LibraryEntryHeader followed by exactly `size` data bytes. No table of
// contents, no count, no end marker: the list ends where the file ends.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr char LIBRARY_ACCESS_NAME[] = "RMX97KELPA";  // the access name the installer expects

constexpr std::size_t LIBRARY_HEADER_SIZE = 23;
constexpr std::size_t LIBRARY_ENTRY_HEADER_SIZE = 524;
constexpr std::size_t LIBRARY_ACCESS_FIELD = 12;  // bytes of the access-name field
constexpr std::size_t LIBRARY_NAME_FIELD = 260;   // bytes of an entry's name field
constexpr std::size_t LIBRARY_NAME_LIMIT = 259;   // longest name: the field less its zero byte
constexpr std::int64_t LIBRARY_FIRST_DATA = 547;  // where the data of entry 0 begins

// Sizes and offsets are signed 32-bit values: no archive, and so no entry,
// may be longer than this.
constexpr std::int64_t LIBRARY_MAX_SIZE = 2147483647;

// The name that SETUP.EXE gives the expanded archive in the installation
// directory. An entry of that name at the top level would overwrite the
// archive while it is being extracted.
constexpr char LIBRARY_ARCHIVE_NAME[] = "DATA.VNX";

// The format's reader never examines offsets 0..10; the access name,
// scrambled and followed by a zero byte, starts at offset 11. The kit builder
// puts its check marker into the first of those bytes (see below).
struct LibraryHeader {
  unsigned char marker[7];
  unsigned char headerCrc[4];
  char accessName[LIBRARY_ACCESS_FIELD];
};

// The format's reader never examines offsets 0..255 and 520..523. The name is
// the entry's relative path, backslash-separated, scrambled and followed by a
// zero byte within the field; the size is little-endian, signed, 0 or more.
// In a checked archive the first four unread bytes hold the header's CRC and
// the last four the data's.
struct LibraryEntryHeader {
  unsigned char headerCrc[4];
  unsigned char unused[252];
  char name[LIBRARY_NAME_FIELD];
  unsigned char size[4];
  unsigned char dataCrc[4];
};

static_assert(sizeof(LibraryHeader) == LIBRARY_HEADER_SIZE, "the header is read and written as raw bytes");
static_assert(sizeof(LibraryEntryHeader) == LIBRARY_ENTRY_HEADER_SIZE,
              "the entry header is read and written as raw bytes");

// Restores a scrambled name in place: byte i becomes (byte - (i + 37)) mod 256.
// Restoration stops at the first byte that is zero as stored or that becomes
// zero when restored; later bytes are left alone. It never looks at more than
// fieldSize bytes. Returns the length of the restored name: fieldSize when the
// field held no end, which the caller must then treat as the name running to
// the end of the field.
std::size_t DescrambleName(char* field, std::size_t fieldSize);

// Restores data bytes in place: every byte b becomes (b + 18) mod 256. A length
// of 0 or less changes nothing.
void DescrambleData(unsigned char* data, std::int64_t length);

// The writer's side of the two transforms.
void ScrambleData(unsigned char* data, std::size_t length);

// Index of the first character of the name whose stored form would be a zero
// byte (code (219 - i) mod 256 at index i), or -1 when every character can be
// stored.
int FindUnstorableCharacter(const char* name, std::size_t length);

// Stores the name scrambled and zero-terminated in the field, the rest of the
// field zeroed. False, leaving the field zeroed, when the name does not fit
// with its zero byte or holds an unstorable character.
bool ScrambleName(const char* name, std::size_t length, char* field, std::size_t fieldSize);

// The entry's size field as a signed 32-bit value.
std::int32_t EntrySize(const LibraryEntryHeader& header);
void SetEntrySize(LibraryEntryHeader& header, std::int32_t size);

// ---- Integrity checks -------------------------------------------------------
//
// The format itself has no checksum: a damaged archive whose names still look
// like names installs damaged files. The kit builder therefore fills bytes
// that the format leaves unread, and an archive that carries its marker is
// checked whole before anything is written:
//
//   header 0..6       the marker "QVCRC32"
//   header 7..10      CRC-32 of the header's other 19 bytes
//   entry 0..3        CRC-32 of the entry header's bytes 4..523 (name, size
//                     and data CRC among them)
//   entry 520..523    CRC-32 of the entry's data as restored
//
// All CRCs are zlib's CRC-32, stored little-endian. Archives made elsewhere
// hold anything in those bytes and are read as the format says, unchecked.
// A marker with one or two of its bytes changed is taken as damage to a
// checked archive, not as another maker's: otherwise a single damaged byte
// could switch every check off.

constexpr unsigned char LIBRARY_CHECK_MARKER[7] = {'Q', 'V', 'C', 'R', 'C', '3', '2'};

enum class LibraryMarking {
  Unchecked,  // no marker: made elsewhere, read as the format says
  Checked,    // the marker, and the header's CRC agrees
  Damaged,    // the marker, or nearly it, and the header does not check
};

// zlib's CRC-32 of the bytes, continued from crc (0 to start).
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length);

// What the header's unread bytes say about the archive.
LibraryMarking ReadLibraryMarking(const LibraryHeader& header);

// Writes the marker and the header's CRC; the access name must be in place.
void MarkLibraryHeader(LibraryHeader& header);

// Stores the data's CRC in the entry header and then the header's own CRC;
// name and size must be in place.
void SealEntryHeader(LibraryEntryHeader& header, std::uint32_t dataCrc);

// True when the entry header, as stored, agrees with its own CRC.
bool EntryHeaderIntact(const LibraryEntryHeader& header);

// The data CRC stored in an entry header.
std::uint32_t StoredDataCrc(const LibraryEntryHeader& header);
