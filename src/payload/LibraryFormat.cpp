#include "payload/LibraryFormat.h"

#include <cstring>

namespace {
// Character i of a name is stored as (character + i + 37) mod 256.
unsigned char NameKey(std::size_t index) { return static_cast<unsigned char>(index + 37); }
// Data bytes are stored as (byte - 18) mod 256.
constexpr unsigned char DATA_KEY = 18;
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
  for (std::int64_t i = 0; i < length; ++i) data[i] = static_cast<unsigned char>(data[i] + DATA_KEY);
}

void ScrambleData(unsigned char* data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<unsigned char>(data[i] - DATA_KEY);
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
