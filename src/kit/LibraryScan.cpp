#include "kit/LibraryScan.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "kit/NameClash.h"
#include "kit/OutputFile.h"
#include "payload/EntryName.h"
#include "payload/LibraryFormat.h"

namespace {
constexpr std::size_t READ_CHUNK = 1 << 20;

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIX32, value);
  return text;
}
}  // namespace

std::size_t MemoryInput::Read(unsigned char* into, std::size_t count) {
  std::size_t n = std::min(count, size_ - position_);
  if (n > 0) std::memcpy(into, data_ + position_, n);
  position_ += n;
  return n;
}

std::uint64_t MemoryInput::Skip(std::uint64_t count) {
  std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position_));
  position_ += n;
  return n;
}

FileInput::~FileInput() {
  if (file_ != nullptr) std::fclose(file_);
}

bool FileInput::Open(const std::filesystem::path& path, std::string& error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    error = path.string() + ": is a directory";
    return false;
  }
  file_ = OpenForReading(path);
  if (file_ == nullptr) {
    error = path.string() + ": cannot open: " + SystemError();
    return false;
  }
  length_ = std::filesystem::file_size(path, code);
  if (code) {
    error = path.string() + ": " + code.message();
    return false;
  }
  return true;
}

std::size_t FileInput::Read(unsigned char* into, std::size_t count) {
  std::size_t n = std::fread(into, 1, count, file_);
  if (n < count && std::ferror(file_)) failed_ = true;
  position_ += n;
  return n;
}

std::uint64_t FileInput::Skip(std::uint64_t count) {
  std::uint64_t n = position_ < length_ ? std::min(count, length_ - position_) : 0;
  // Entry sizes are 32-bit, so every skip fits a long, even where long is
  // 32 bits wide.
  if (n > 0 && std::fseek(file_, static_cast<long>(n), SEEK_CUR) != 0) {
    failed_ = true;
    return 0;
  }
  position_ += n;
  return n;
}

std::string EntryLabel(int index, const std::string& shown) {
  return "entry " + std::to_string(index) + " \"" + shown + "\"";
}

bool LibraryScanner::ReadHeader(std::string& problem) {
  LibraryHeader header;
  std::size_t got = input_.Read(reinterpret_cast<unsigned char*>(&header), sizeof header);
  position_ = got;
  if (input_.Failed()) {
    problem = "read failed: " + SystemError();
    return false;
  }
  if (got < sizeof header) {
    problem = "only " + std::to_string(got) + " bytes: shorter than the 23-byte header";
    return false;
  }
  // Before the access name is restored in place: the CRC is over the bytes
  // as stored.
  marking_ = ReadLibraryMarking(header);
  std::size_t length = DescrambleName(header.accessName, sizeof header.accessName);
  if (length != std::strlen(LIBRARY_ACCESS_NAME) || std::memcmp(header.accessName, LIBRARY_ACCESS_NAME, length) != 0) {
    problem = std::string("the header does not carry the access name ") + LIBRARY_ACCESS_NAME;
    return false;
  }
  return true;
}

ScanStep LibraryScanner::Next(ScannedEntry& entry, std::string& problem) {
  if (unread_ > 0) {
    std::uint64_t passed = input_.Skip(unread_);
    position_ += passed;
    if (passed < unread_) {
      problem = current_ + ": the data runs past the end of the archive (" + std::to_string(unread_ - passed) +
                " bytes missing)";
      unread_ = 0;
      return ScanStep::Invalid;
    }
    unread_ = 0;
  }
  const std::uint64_t headerOffset = position_;
  LibraryEntryHeader header;
  std::size_t got = input_.Read(reinterpret_cast<unsigned char*>(&header), sizeof header);
  position_ += got;
  if (input_.Failed()) {
    problem = "read failed at offset " + std::to_string(headerOffset) + ": " + SystemError();
    return ScanStep::Invalid;
  }
  if (got < sizeof header) {
    trailing_ = got;
    return ScanStep::End;
  }
  const std::string where = "entry " + std::to_string(next_) + " at offset " + std::to_string(headerOffset);
  if (std::memchr(header.name, 0, sizeof header.name) == nullptr) {
    problem = where + ": the name field has no zero byte";
    return ScanStep::Invalid;
  }
  if (EntrySize(header) < 0) {
    problem = where + ": negative size " + std::to_string(EntrySize(header));
    return ScanStep::Invalid;
  }
  const bool checked = marking_ == LibraryMarking::Checked;
  entry.headerIntact = !checked || EntryHeaderIntact(header);
  entry.dataCrc = checked ? StoredDataCrc(header) : 0;
  RestoreEntryHeader(header);
  entry.index = next_++;
  entry.name = header.name;
  entry.shown = codePage_.Display(entry.name);
  entry.size = EntrySize(header);
  entry.dataOffset = static_cast<std::int64_t>(position_);
  current_ = EntryLabel(entry.index, entry.shown);
  if (static_cast<std::int64_t>(position_) + entry.size > LIBRARY_MAX_SIZE) {
    problem = current_ + ": ends beyond the archive's limit of 2147483647 bytes";
    return ScanStep::Invalid;
  }
  unread_ = static_cast<std::uint64_t>(entry.size);
  return ScanStep::Entry;
}

bool LibraryScanner::ReadData(const std::function<bool(const unsigned char*, std::size_t)>& consume,
                              std::string& problem, bool restore) {
  if (buffer_.empty()) buffer_.resize(READ_CHUNK);
  while (unread_ > 0) {
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(unread_, buffer_.size()));
    std::size_t got = input_.Read(buffer_.data(), chunk);
    position_ += got;
    unread_ -= got;
    if (got < chunk) {
      problem = current_ + (input_.Failed() ? ": read failed: " + SystemError()
                                            : ": the data runs past the end of the archive (" +
                                                  std::to_string(unread_) + " bytes missing)");
      unread_ = 0;
      return false;
    }
    if (restore) DescrambleData(buffer_.data(), static_cast<std::int64_t>(got));
    if (!consume(buffer_.data(), got)) {
      unread_ = 0;
      return false;
    }
  }
  return true;
}

bool VerifyLibrary(ArchiveInput& input, const CodePage& codePage, LibraryCheck& check, const WorkProgress& progress) {
  LibraryScanner scanner(input, codePage);
  std::string problem;
  if (!scanner.ReadHeader(problem)) {
    check.problems.push_back(problem);
    return false;
  }
  const bool checked = scanner.Marking() == LibraryMarking::Checked;
  if (scanner.Marking() == LibraryMarking::Damaged) {
    check.problems.push_back("the header's check marker or CRC is damaged");
  }
  NameClashCheck clashes(codePage);
  ScannedEntry entry;
  for (;;) {
    ScanStep step = scanner.Next(entry, problem);
    if (step == ScanStep::Invalid) {
      check.problems.push_back(problem);
      break;
    }
    if (step == ScanStep::End) {
      if (scanner.TrailingBytes() > 0) {
        check.problems.push_back(std::to_string(scanner.TrailingBytes()) +
                                 " bytes left over after the last entry, too few for an entry header");
      }
      break;
    }
    ++check.entries;
    check.names.push_back(entry.name);
    std::string label = EntryLabel(entry.index, entry.shown);
    // Any field of a damaged header may be wrong, its size among them, so
    // nothing after it can be placed with any confidence.
    if (!entry.headerIntact) {
      check.problems.push_back(label + ": the entry header is damaged (it does not agree with its CRC)");
      break;
    }
    std::string text;
    if (!IsSafeEntryName(entry.name.c_str())) {
      check.problems.push_back(label + ": the name is not safe to extract");
    } else if (!codePage.ToUtf8(entry.name, text, problem)) {
      check.problems.push_back(label + ": the name is not text in code page " + std::to_string(codePage.Number()) +
                               " (an archive for another code page needs --codepage)");
    } else if (codePage.SplitTrailByte(entry.name) != std::string::npos) {
      check.problems.push_back(label + ": byte " + std::to_string(codePage.SplitTrailByte(entry.name) + 1) +
                               " ends a two-byte character, and setup would take it for a separator");
    } else {
      std::string clash = clashes.Add(entry.name);
      if (!clash.empty()) check.problems.push_back(label + ": " + clash);
    }
    // Reading every byte is the point: an archive whose data cannot be read
    // to its end does not install. The data CRC is over the restored bytes,
    // so a checked archive has its data restored on the way; an unchecked
    // one is passed over as stored.
    std::uint32_t crc = 0;
    bool whole = scanner.ReadData(
        [&](const unsigned char* data, std::size_t n) {
          if (checked) crc = Crc32(crc, data, n);
          check.dataBytes += n;
          if (progress) progress(scanner.Position(), input.Length());
          return true;
        },
        problem, checked);
    if (!whole) {
      check.problems.push_back(problem);
      break;
    }
    if (checked && crc != entry.dataCrc) {
      check.problems.push_back(label + ": data CRC mismatch: the header holds " + Hex32(entry.dataCrc) +
                               ", the data gives " + Hex32(crc));
    }
  }
  return check.problems.empty();
}
