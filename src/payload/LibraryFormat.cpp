#include "payload/LibraryFormat.h"

#include <cstring>

namespace {
// Character i of a name is stored as (character + i + 37) mod 256.
unsigned char NameKey(std::size_t index) { return static_cast<unsigned char>(index + 37); }
// Data bytes are stored as (byte - 18) mod 256.
constexpr unsigned char DATA_KEY = 18;

// Adds the key to every byte, mod 256. Eight bytes at a time in a 64-bit
// word: the low seven bits of each byte are added with room to spare, so no
// carry crosses into the next byte, and the top bit is then set by an XOR.
// The kit builder moves every byte of the kit through here, and compilers
// at -O2 or -Os leave the plain byte loop unvectorised.
void AddToEveryByte(unsigned char* data, std::size_t length, unsigned char key) {
  constexpr std::uint64_t HIGH_BITS = 0x8080808080808080ull;
  const std::uint64_t keys = 0x0101010101010101ull * key;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    word = ((word & ~HIGH_BITS) + (keys & ~HIGH_BITS)) ^ ((word ^ keys) & HIGH_BITS);
    std::memcpy(data + i, &word, 8);
  }
  for (; i < length; ++i) data[i] = static_cast<unsigned char>(data[i] + key);
}
std::uint32_t LoadLittle32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void StoreLittle32(unsigned char* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

// The header's CRC covers every byte of it but the CRC field itself.
std::uint32_t HeaderCrc(const LibraryHeader& header) {
  std::uint32_t crc = Crc32(0, header.marker, sizeof header.marker);
  return Crc32(crc, header.accessName, sizeof header.accessName);
}

// The entry header's CRC covers everything after its own four bytes.
std::uint32_t EntryHeaderCrc(const LibraryEntryHeader& header) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&header);
  return Crc32(0, bytes + sizeof header.headerCrc, sizeof header - sizeof header.headerCrc);
}

// Up to two changed bytes still count as the marker.
constexpr int MARKER_DAMAGE_TOLERATED = 2;

}  // namespace

std::size_t DescrambleName(char* field, std::size_t fieldSize) {
  std::size_t i = 0;
  for (; i < fieldSize; ++i) {
    auto stored = static_cast<unsigned char>(field[i]);
    if (stored == 0) break;
    auto plain = static_cast<unsigned char>(stored - NameKey(i));
    field[i] = static_cast<char>(plain);
    // A byte that restores to zero ends the name just as a stored zero does.
    if (plain == 0) break;
  }
  return i;
}

void DescrambleData(unsigned char* data, std::int64_t length) {
  if (length > 0) AddToEveryByte(data, static_cast<std::size_t>(length), DATA_KEY);
}

void ScrambleData(unsigned char* data, std::size_t length) {
  AddToEveryByte(data, length, static_cast<unsigned char>(256 - DATA_KEY));
}

int FindUnstorableCharacter(const char* name, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(static_cast<unsigned char>(name[i]) + NameKey(i)) == 0) return static_cast<int>(i);
  }
  return -1;
}

bool ScrambleName(const char* name, std::size_t length, char* field, std::size_t fieldSize) {
  std::memset(field, 0, fieldSize);
  if (length >= fieldSize || FindUnstorableCharacter(name, length) >= 0) return false;
  for (std::size_t i = 0; i < length; ++i) {
    field[i] = static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(name[i]) + NameKey(i)));
  }
  return true;
}

std::int32_t EntrySize(const LibraryEntryHeader& header) {
  return static_cast<std::int32_t>(LoadLittle32(header.size));
}

void SetEntrySize(LibraryEntryHeader& header, std::int32_t size) {
  StoreLittle32(header.size, static_cast<std::uint32_t>(size));
}

LibraryMarking ReadLibraryMarking(const LibraryHeader& header) {
  int changed = 0;
  for (std::size_t i = 0; i < sizeof LIBRARY_CHECK_MARKER; ++i) changed += header.marker[i] != LIBRARY_CHECK_MARKER[i];
  if (changed > MARKER_DAMAGE_TOLERATED) return LibraryMarking::Unchecked;
  if (changed > 0 || LoadLittle32(header.headerCrc) != HeaderCrc(header)) return LibraryMarking::Damaged;
  return LibraryMarking::Checked;
}

void MarkLibraryHeader(LibraryHeader& header) {
  std::memcpy(header.marker, LIBRARY_CHECK_MARKER, sizeof header.marker);
  StoreLittle32(header.headerCrc, HeaderCrc(header));
}

void SealEntryHeader(LibraryEntryHeader& header, std::uint32_t dataCrc) {
  StoreLittle32(header.dataCrc, dataCrc);
  StoreLittle32(header.headerCrc, EntryHeaderCrc(header));
}

bool EntryHeaderIntact(const LibraryEntryHeader& header) {
  return LoadLittle32(header.headerCrc) == EntryHeaderCrc(header);
}

std::uint32_t StoredDataCrc(const LibraryEntryHeader& header) { return LoadLittle32(header.dataCrc); }
