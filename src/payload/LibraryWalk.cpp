#include "payload/LibraryWalk.h"

#include <cstring>

namespace {

std::size_t ReadStream(ArchiveInput& input, void* into, std::size_t count) {
  const std::size_t got = std::fread(into, 1, count, input.file);
  if (got < count && std::ferror(input.file)) input.failed = true;
  input.position += static_cast<std::int64_t>(got);
  return got;
}

std::size_t ReadMemory(ArchiveInput& input, void* into, std::size_t count) {
  const std::int64_t left = input.length - input.position;
  std::size_t got = 0;
  if (left > 0) got = static_cast<std::uint64_t>(left) < count ? static_cast<std::size_t>(left) : count;
  if (got > 0) std::memcpy(into, input.bytes + input.position, got);
  input.position += static_cast<std::int64_t>(got);
  return got;
}

std::size_t ReadInput(ArchiveInput& input, void* into, std::size_t count) { return input.read(input, into, count); }

// Moves forward over count bytes. The walk never asks to pass the known end;
// a stream of unknown length allows a seek past its end, and the next read
// then finds it.
bool SkipInput(ArchiveInput& input, std::int64_t count) {
  // The count is what is left of one entry's data, so it fits a long, even
  // where long is 32 bits wide.
  if (input.file != nullptr && std::fseek(input.file, static_cast<long>(count), SEEK_CUR) != 0) {
    input.failed = true;
    return false;
  }
  input.position += count;
  return true;
}

WalkStep Stop(LibraryWalk& walk, LibraryFault fault, int entry, std::int64_t offset) {
  walk.fault = fault;
  walk.faultEntry = entry;
  walk.faultOffset = offset;
  return WalkStep::Refused;
}

// The current entry's data runs past the end of the archive.
WalkStep StopPastEnd(LibraryWalk& walk, std::int64_t end) {
  walk.missing = walk.dataEnd - end;
  return Stop(walk, LibraryFault::DataPastEnd, walk.entries - 1, end);
}

}  // namespace

ArchiveInput ArchiveInMemory(const void* bytes, std::size_t length) {
  ArchiveInput input = {
      ReadMemory, nullptr, static_cast<const unsigned char*>(bytes), static_cast<std::int64_t>(length), 0, false};
  return input;
}

ArchiveInput ArchiveInStream(std::FILE* file, std::int64_t length) {
  ArchiveInput input = {ReadStream, file, nullptr, length, 0, false};
  return input;
}

std::int64_t StreamLength(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file);
  if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return length;
}

LibraryFault OpenLibraryHeader(LibraryHeader& header, const char* accessName, LibraryMarking& marking) {
  marking = ReadLibraryMarking(header);
  if (accessName == nullptr) return LibraryFault::None;
  // Without a zero byte in its field the restored name runs to the end of the
  // header, and so is as long as the field.
  const std::size_t length = DescrambleName(header.accessName, sizeof header.accessName);
  if (length != std::strlen(accessName) || std::memcmp(header.accessName, accessName, length) != 0) {
    return LibraryFault::NoAccessName;
  }
  return LibraryFault::None;
}

LibraryFault OpenEntryHeader(LibraryEntryHeader& header, bool checked, bool& intact) {
  intact = !checked || EntryHeaderIntact(header);
  if (std::memchr(header.name, 0, sizeof header.name) == nullptr) return LibraryFault::NameUnterminated;
  if (EntrySize(header) < 0) return LibraryFault::SizeNegative;
  DescrambleName(header.name, sizeof header.name);
  return LibraryFault::None;
}

LibraryFault LibraryWalkBegin(LibraryWalk& walk, ArchiveInput& input, const char* accessName) {
  std::memset(&walk, 0, sizeof walk);
  walk.input = &input;
  walk.marking = LibraryMarking::Unchecked;
  walk.dataEnd = LIBRARY_HEADER_SIZE;
  walk.fault = LibraryFault::None;
  walk.faultEntry = -1;

  LibraryHeader header;
  const std::size_t got = ReadInput(input, &header, sizeof header);
  if (input.failed) {
    Stop(walk, LibraryFault::ReadFailed, -1, 0);
  } else if (got < sizeof header) {
    Stop(walk, LibraryFault::HeaderShort, -1, static_cast<std::int64_t>(got));
  } else {
    const LibraryFault fault = OpenLibraryHeader(header, accessName, walk.marking);
    if (fault != LibraryFault::None) Stop(walk, fault, -1, 0);
  }
  return walk.fault;
}

WalkStep LibraryWalkNext(LibraryWalk& walk, WalkedEntry& entry) {
  if (walk.fault != LibraryFault::None) return WalkStep::Refused;
  if (walk.ended) return WalkStep::End;
  ArchiveInput& input = *walk.input;
  if (input.position < walk.dataEnd) {
    if (walk.dataEnd > input.length) return StopPastEnd(walk, input.length);
    if (!SkipInput(input, walk.dataEnd - input.position)) {
      return Stop(walk, LibraryFault::ReadFailed, walk.entries - 1, input.position);
    }
  }

  entry.index = walk.entries;
  entry.headerOffset = input.position;
  entry.headerIntact = true;
  const std::size_t got = ReadInput(input, &entry.header, sizeof entry.header);
  LibraryFault fault = LibraryFault::ReadFailed;
  if (!input.failed) {
    if (got < sizeof entry.header) {
      // The list ends where the file does; a short remainder is no entry.
      walk.trailing = got;
      walk.ended = true;
      return WalkStep::End;
    }
    ++walk.entries;
    entry.dataOffset = input.position;
    entry.size = EntrySize(entry.header);
    fault = OpenEntryHeader(entry.header, walk.marking == LibraryMarking::Checked, entry.headerIntact);
    // Offsets are signed 32-bit values: past that range nothing is an entry.
    if (fault == LibraryFault::None && entry.dataOffset > LIBRARY_MAX_SIZE) fault = LibraryFault::BeyondLimit;
  }
  if (fault != LibraryFault::None) return Stop(walk, fault, entry.index, entry.headerOffset);
  walk.dataEnd = entry.dataOffset + entry.size;
  walk.dataCrc = 0;
  return WalkStep::Entry;
}

std::size_t LibraryWalkRead(LibraryWalk& walk, unsigned char* buffer, std::size_t capacity) {
  ArchiveInput& input = *walk.input;
  if (walk.fault != LibraryFault::None || walk.ended || input.position >= walk.dataEnd) return 0;
  const std::int64_t left = walk.dataEnd - input.position;
  const std::size_t wanted = static_cast<std::uint64_t>(left) < capacity ? static_cast<std::size_t>(left) : capacity;
  const std::size_t got = ReadInput(input, buffer, wanted);
  if (got < wanted) {
    if (input.failed) {
      Stop(walk, LibraryFault::ReadFailed, walk.entries - 1, input.position);
    } else {
      StopPastEnd(walk, input.position);
    }
    return 0;
  }
  DescrambleData(buffer, static_cast<std::int64_t>(got));
  if (walk.marking == LibraryMarking::Checked) walk.dataCrc = Crc32(walk.dataCrc, buffer, got);
  return got;
}
