// Library archives built byte by byte for the tests, hostile ones included.
// Every field can be set directly, so a test can lay out exactly the bytes it
// means to, whatever the writer would refuse.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "payload/LibraryFormat.h"

// size bytes that vary from one to the next, the same for the same seed:
// data whose every byte a faulty copy would show.
inline std::string Pattern(std::size_t size, unsigned seed) {
  std::string data(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char& c : data) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return data;
}

// The header, with the access-name field taken as its 12 stored bytes (shorter
// input is padded with zeros).
inline std::string HeaderWithField(const std::string& storedField) {
  std::string header(11, 'h');
  std::string field = storedField.substr(0, LIBRARY_ACCESS_FIELD);
  field.resize(LIBRARY_ACCESS_FIELD, '\0');
  return header + field;
}

// The name as the format stores it: character i plus i + 37, no terminator.
inline std::string StoredName(const std::string& plain) {
  std::string stored(plain);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    stored[i] = static_cast<char>(static_cast<unsigned char>(stored[i]) + i + 37);
  }
  return stored;
}

inline std::string Header(const std::string& accessName = LIBRARY_ACCESS_NAME) {
  return HeaderWithField(StoredName(accessName));
}

// An entry header whose name field holds storedField (padded with zeros to
// 260 bytes) and whose size field holds size.
inline std::string EntryHeaderWithField(const std::string& storedField, std::int32_t size) {
  std::string header(256, 'u');
  std::string field = storedField.substr(0, LIBRARY_NAME_FIELD);
  field.resize(LIBRARY_NAME_FIELD, '\0');
  header += field;
  auto value = static_cast<std::uint32_t>(size);
  for (int i = 0; i < 4; ++i) header.push_back(static_cast<char>(value >> (8 * i)));
  header += "rrrr";
  return header;
}

// A name of the given length that the format can store: letters, each
// chosen so that its stored form is not a zero byte.
inline std::string StorableName(std::size_t length, char letter = 'a') {
  std::string name(length, letter);
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(static_cast<unsigned char>(letter) + i + 37) == 0)
      name[i] = static_cast<char>(letter + 1);
  }
  return name;
}

// Plain data as stored: every byte minus 18.
inline std::string StoredData(const std::string& plain) {
  std::string stored(plain);
  for (char& c : stored) c = static_cast<char>(static_cast<unsigned char>(c) - 18);
  return stored;
}

// A well-formed entry: header and stored data.
inline std::string Entry(const std::string& name, const std::string& data) {
  return EntryHeaderWithField(StoredName(name), static_cast<std::int32_t>(data.size())) + StoredData(data);
}

// Names and plain data of entries, in archive order.
using ArchiveEntries = std::vector<std::pair<std::string, std::string>>;

inline std::string PlainArchive(const ArchiveEntries& entries) {
  std::string bytes = Header();
  for (const auto& [name, data] : entries) bytes += Entry(name, data);
  return bytes;
}

// An archive as the kit builder lays out a checked one: marker, header CRC,
// and each entry header sealed with its data's CRC.
inline std::string CheckedArchive(const ArchiveEntries& entries) {
  LibraryHeader header;
  std::string plain = Header();
  std::memcpy(&header, plain.data(), sizeof header);
  MarkLibraryHeader(header);
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  for (const auto& [name, data] : entries) {
    std::string entry = Entry(name, data);
    LibraryEntryHeader sealed;
    std::memcpy(&sealed, entry.data(), sizeof sealed);
    SealEntryHeader(sealed, Crc32(0, data.data(), data.size()));
    bytes += std::string(reinterpret_cast<const char*>(&sealed), sizeof sealed) + entry.substr(sizeof sealed);
  }
  return bytes;
}
