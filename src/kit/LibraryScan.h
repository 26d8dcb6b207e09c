// Walking a library archive front to back in one pass, for the kit builder's
// list, verify and extract: every entry with its name, size and data offset,
// and a precise account of where and why an archive stops being valid.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kit/CodePage.h"
#include "kit/LibraryWriter.h"
#include "payload/LibraryFormat.h"

// Where the archive's bytes come from.
class ArchiveInput {
 public:
  virtual ~ArchiveInput() = default;
  // Reads up to count bytes; fewer only at the end of the input or on an error.
  virtual std::size_t Read(unsigned char* into, std::size_t count) = 0;
  // Passes over up to count bytes; returns how many there were.
  virtual std::uint64_t Skip(std::uint64_t count) = 0;
  // True after a read error, as opposed to the end of the input.
  virtual bool Failed() const = 0;
  virtual std::uint64_t Length() const = 0;
};

class MemoryInput : public ArchiveInput {
 public:
  MemoryInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Read(unsigned char* into, std::size_t count) override;
  std::uint64_t Skip(std::uint64_t count) override;
  bool Failed() const override { return false; }
  std::uint64_t Length() const override { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

class FileInput : public ArchiveInput {
 public:
  FileInput() = default;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  ~FileInput() override;
  // False with a message naming the file.
  bool Open(const std::filesystem::path& path, std::string& error);
  std::size_t Read(unsigned char* into, std::size_t count) override;
  std::uint64_t Skip(std::uint64_t count) override;
  bool Failed() const override { return failed_; }
  std::uint64_t Length() const override { return length_; }

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t length_ = 0;
  std::uint64_t position_ = 0;
  bool failed_ = false;
};

struct ScannedEntry {
  int index = 0;      // from 0, in archive order
  std::string name;   // restored: bytes in the archive's code page
  std::string shown;  // the name for messages and listings (CodePage::Display)
  std::int32_t size = 0;
  std::int64_t dataOffset = 0;  // from the start of the archive
  // Filled only when the archive is checked (otherwise true and 0): whether
  // the entry header agrees with its own CRC, and the CRC it holds for the
  // data as restored.
  bool headerIntact = true;
  std::uint32_t dataCrc = 0;
};

enum class ScanStep { Entry, End, Invalid };

class LibraryScanner {
 public:
  // Names are read in the code page.
  LibraryScanner(ArchiveInput& input, const CodePage& codePage) : input_(input), codePage_(codePage) {}
  // Reads the header; false, with the problem, when it is short or does not
  // carry the access name.
  bool ReadHeader(std::string& problem);
  // What the header's check marker says, once ReadHeader has read it.
  LibraryMarking Marking() const { return marking_; }
  // The next entry. End when the input ends where an entry header would start
  // or within one (TrailingBytes tells how many bytes that left over);
  // Invalid, with the problem, when the previous entry's data ran past the
  // end, the entry header is invalid, or the offsets leave the 32-bit range.
  ScanStep Next(ScannedEntry& entry, std::string& problem);
  // Hands the current entry's data to consume in chunks: restored, or as
  // stored when restore is false. False, with the problem, when the data runs
  // past the end or consume refuses.
  bool ReadData(const std::function<bool(const unsigned char*, std::size_t)>& consume, std::string& problem,
                bool restore = true);
  std::size_t TrailingBytes() const { return trailing_; }
  std::uint64_t Position() const { return position_; }

 private:
  ArchiveInput& input_;
  const CodePage& codePage_;
  std::uint64_t position_ = 0;
  LibraryMarking marking_ = LibraryMarking::Unchecked;
  std::uint64_t unread_ = 0;  // data bytes of the current entry not yet passed
  std::string current_;       // name of the current entry, for messages
  std::size_t trailing_ = 0;
  int next_ = 0;
  std::vector<unsigned char> buffer_;
};

struct LibraryCheck {
  std::size_t entries = 0;
  std::vector<std::string> names;  // of the entries as stored, in archive order
  std::uint64_t dataBytes = 0;
  std::vector<std::string> problems;
};

// Checks everything the installer relies on: the access name; every entry
// valid and its data there to the end; every name text in the code page,
// safe to extract, unique and free of clashes as the code page folds case
// (and in a double-byte code page without a second byte that setup would
// take for a separator); nothing left over after the last entry; the
// archive within 2147483647 bytes. In an archive that carries the check marker,
// every entry header must agree with its CRC and every entry's data with the
// CRC in its header; a damaged marker is a problem in itself. True when
// nothing is wrong.
bool VerifyLibrary(ArchiveInput& input, const CodePage& codePage, LibraryCheck& check,
                   const WorkProgress& progress = {});

// "entry 3 "A\B.TXT"": how messages name an entry, by its name as shown.
std::string EntryLabel(int index, const std::string& shown);
