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
  std::uint32_t value = static_cast<std::uint32_t>(header.size[0]) | static_cast<std::uint32_t>(header.size[1]) << 8 |
                        static_cast<std::uint32_t>(header.size[2]) << 16 |
                        static_cast<std::uint32_t>(header.size[3]) << 24;
  return static_cast<std::int32_t>(value);
}

void SetEntrySize(LibraryEntryHeader& header, std::int32_t size) {
  auto value = static_cast<std::uint32_t>(size);
  for (int i = 0; i < 4; ++i) header.size[i] = static_cast<unsigned char>(value >> (8 * i));
}

int RestoreEntryHeader(LibraryEntryHeader& header) {
  // Both checks come before any byte is changed, so an invalid entry is left
  // exactly as it was read.
  if (std::memchr(header.name, 0, sizeof header.name) == nullptr) return 0;
  if (EntrySize(header) < 0) return 0;
  DescrambleName(header.name, sizeof header.name);
  return 1;
}
