#include "payload/LibraryStreamCheck.h"

#include <cstring>

namespace {

// Data is restored for its CRC through a small piece of the stack, so that
// the caller's bytes stay as they are and no frame needs a stack probe.
constexpr std::size_t RESTORE_PIECE = 2048;

void Refuse(LibraryStreamCheck& check, const char* problem) {
  check.part = LibraryStreamPart::Refused;
  check.problem = problem;
}

// Gathers header bytes into the record; true once it is whole.
bool Gather(LibraryStreamCheck& check, void* record, std::size_t size, const unsigned char*& bytes,
            std::size_t& count) {
  const std::size_t wanted = size - check.gathered;
  const std::size_t take = count < wanted ? count : wanted;
  std::memcpy(static_cast<unsigned char*>(record) + check.gathered, bytes, take);
  check.gathered += take;
  bytes += take;
  count -= take;
  if (check.gathered < size) return false;
  check.gathered = 0;
  return true;
}

// The entry's data has all passed: its CRC must agree in a checked archive.
void EndEntry(LibraryStreamCheck& check) {
  if (check.checked && check.dataCrc != StoredDataCrc(check.entry)) {
    Refuse(check, "an entry's data is damaged");
    return;
  }
  check.part = LibraryStreamPart::EntryHeader;
}

void TakeHeader(LibraryStreamCheck& check, const unsigned char*& bytes, std::size_t& count) {
  if (!Gather(check, &check.header, sizeof check.header, bytes, count)) return;
  LibraryMarking marking = LibraryMarking::Unchecked;
  const LibraryFault fault = OpenLibraryHeader(check.header, LIBRARY_ACCESS_NAME, marking);
  check.checked = marking == LibraryMarking::Checked;
  if (const char* problem = CheckHeaderForInstall(fault, marking)) {
    Refuse(check, problem);
    return;
  }
  check.part = LibraryStreamPart::EntryHeader;
}

void TakeEntryHeader(LibraryStreamCheck& check, const unsigned char*& bytes, std::size_t& count) {
  if (!Gather(check, &check.entry, sizeof check.entry, bytes, count)) return;
  bool intact = true;
  const LibraryFault fault = OpenEntryHeader(check.entry, check.checked, intact);
  if (const char* problem = CheckEntryForInstall(fault, check.entry, intact, check.target)) {
    Refuse(check, problem);
    return;
  }
  check.dataLeft = EntrySize(check.entry);
  check.dataCrc = 0;
  check.part = LibraryStreamPart::Data;
  if (check.dataLeft == 0) EndEntry(check);
}

void TakeData(LibraryStreamCheck& check, const unsigned char*& bytes, std::size_t& count) {
  const auto left = static_cast<std::size_t>(check.dataLeft);
  const std::size_t take = count < left ? count : left;
  if (check.checked) {
    unsigned char piece[RESTORE_PIECE];
    for (std::size_t done = 0; done < take;) {
      const std::size_t length = take - done < sizeof piece ? take - done : sizeof piece;
      std::memcpy(piece, bytes + done, length);
      DescrambleData(piece, static_cast<std::int64_t>(length));
      check.dataCrc = Crc32(check.dataCrc, piece, length);
      done += length;
    }
  }
  check.dataLeft -= static_cast<std::int32_t>(take);
  bytes += take;
  count -= take;
  if (check.dataLeft == 0) EndEntry(check);
}

}  // namespace

void LibraryStreamBegin(LibraryStreamCheck& check, const NameTarget& target) {
  std::memset(&check, 0, sizeof check);
  check.target = target;
  check.part = LibraryStreamPart::Header;
  check.problem = nullptr;
}

void LibraryStreamFeed(LibraryStreamCheck& check, const unsigned char* bytes, std::size_t count) {
  if (check.part == LibraryStreamPart::Refused) return;
  check.length += static_cast<std::int64_t>(count);
  if (check.length > LIBRARY_MAX_SIZE) {
    Refuse(check, "longer than the format allows");
    return;
  }
  while (count > 0) {
    switch (check.part) {
      case LibraryStreamPart::Header: TakeHeader(check, bytes, count); break;
      case LibraryStreamPart::EntryHeader: TakeEntryHeader(check, bytes, count); break;
      case LibraryStreamPart::Data: TakeData(check, bytes, count); break;
      case LibraryStreamPart::Refused: return;
    }
  }
}

IndexResult LibraryStreamEnd(LibraryStreamCheck& check) {
  switch (check.part) {
    case LibraryStreamPart::Refused: return IndexResult::Invalid;
    case LibraryStreamPart::Header:
      check.problem = FaultProblem(LibraryFault::HeaderShort);
      return IndexResult::Unreadable;
    case LibraryStreamPart::Data:
      // An entry with no data left has ended already, so data is missing.
      check.problem = FaultProblem(LibraryFault::DataPastEnd);
      return IndexResult::Invalid;
    case LibraryStreamPart::EntryHeader: break;  // fewer than 524 bytes after the last entry are ignored
  }
  return IndexResult::Ok;
}
