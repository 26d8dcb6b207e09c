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

// Extraction copies at most this many bytes per chunk, through a buffer a
// little larger than the chunk.
constexpr int LIBRARY_CHUNK = 64000;
constexpr std::size_t LIBRARY_COPY_BUFFER = 64004;

// The name that SETUP.EXE gives the expanded archive in the installation
// directory. An entry of that name at the top level would overwrite the
// archive while it is being extracted.
constexpr char LIBRARY_ARCHIVE_NAME[] = "DATA.VNX";

// Offsets 0..10 are never read; the access name, scrambled and followed by a
// zero byte, starts at offset 11.
struct LibraryHeader {
  unsigned char unused[11];
  char accessName[LIBRARY_ACCESS_FIELD];
};

// Offsets 0..255 and 520..523 are never read. The name is the entry's
// relative path, backslash-separated, scrambled and followed by a zero byte
// within the field; the size is little-endian, signed, 0 or more.
struct LibraryEntryHeader {
  unsigned char unused[256];
  char name[LIBRARY_NAME_FIELD];
  unsigned char size[4];
  unsigned char reserved[4];
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

// Checks an entry header that was just read and restores its name in place.
// 0, with nothing changed, when the entry is invalid: its name field holds no
// zero byte, or its size is negative. An archive is invalid from such an entry
// on, so callers stop their walk there.
int RestoreEntryHeader(LibraryEntryHeader& header);
