// The archive inside a compressed payload, as the archive walk reads it:
// expanded as the walk asks for it, so that it is never held whole. The
// walk passes over an entry's data by moving its position only; the bytes
// it passed are read from the expansion before the next ones, and every
// byte, those passed over too, goes into a CRC of the whole archive.
#pragma once
#include <cstdint>

#include "kit/szdd/SzddReader.h"
#include "payload/LibraryWalk.h"

struct ExpandedArchive {
  ArchiveInput input;  // first, so that its read function finds the rest of the record
  SzddReader* reader;
  std::int64_t consumed;  // bytes taken from the expansion
  std::uint32_t crc;      // of those bytes
};

// Sets the record up to read from an opened reader: the archive is as long
// as the header of the payload declares.
void ExpandedArchiveBegin(ExpandedArchive& archive, SzddReader& reader);

// Reads what the walk left of the expansion, so that consumed and crc cover
// all of it.
void ExpandedArchiveDrain(ExpandedArchive& archive);
