// The kit builder's passes over a library archive, for list, verify and
// extract: the archive walk, with what it reports worded for messages that
// name the entry and the offset, and the kit builder's own checks on top.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/Scoped.h"
#include "kit/CodePage.h"
#include "kit/WorkProgress.h"
#include "payload/LibraryFormat.h"
#include "payload/LibraryWalk.h"

// An archive file, open for a walk from its start.
class FileInput {
 public:
  // False with a message naming the file.
  bool Open(const std::filesystem::path& path, std::string& error);
  ArchiveInput& Input() { return input_; }

 private:
  FileHandle file_;
  ArchiveInput input_ = {};
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
  LibraryScanner(const LibraryScanner&) = delete;
  LibraryScanner& operator=(const LibraryScanner&) = delete;
  // Reads the header; false, with the problem, when it is short or does not
  // carry the access name.
  bool ReadHeader(std::string& problem);
  // What the header's check marker says, once ReadHeader has read it.
  LibraryMarking Marking() const { return walk_.marking; }
  // The next entry. End when the input ends where an entry header would start
  // or within one (TrailingBytes tells how many bytes that left over);
  // Invalid, with the problem, when the previous entry's data ran past the
  // end, the entry header is invalid, or the entry's data would end beyond
  // the format's 32-bit range.
  ScanStep Next(ScannedEntry& entry, std::string& problem);
  // Hands the current entry's data, restored, to consume in chunks. False,
  // with the problem, when the data runs past the end or a read fails, or
  // when consume refuses.
  bool ReadData(const std::function<bool(const unsigned char*, std::size_t)>& consume, std::string& problem);
  // Once ReadData has handed all of an entry's data: its CRC as restored (in
  // a checked archive), and whether that agrees with the entry header's.
  std::uint32_t DataCrc() const { return walk_.dataCrc; }
  bool DataIntact() const { return LibraryWalkDataIntact(walk_, entry_); }
  std::size_t TrailingBytes() const { return walk_.trailing; }
  std::uint64_t Position() const { return static_cast<std::uint64_t>(input_.position); }

 private:
  ArchiveInput& input_;
  const CodePage& codePage_;
  LibraryWalk walk_ = {};
  WalkedEntry entry_ = {};
  std::string current_;  // the current entry, for messages
  std::vector<unsigned char> buffer_;
};

struct LibraryCheck {
  std::size_t entries = 0;
  std::vector<std::string> names;  // of the entries as stored, in archive order
  std::uint64_t dataBytes = 0;
  std::vector<std::string> problems;
};

// Checks everything the installer relies on: the access name; every entry
// valid and its data there to the end; every name accepted by the
// installer's entry-name rule below C:\QUENV98 (InstallNameProblem), text in
// the code page, unique and free of clashes as the code page folds case;
// nothing left over after the last entry; the archive within 2147483647
// bytes. In an archive that carries the check marker,
// every entry header must agree with its CRC and every entry's data with the
// CRC in its header; a damaged marker is a problem in itself. True when
// nothing is wrong.
bool VerifyLibrary(ArchiveInput& input, const CodePage& codePage, LibraryCheck& check,
                   const WorkProgress& progress = {});

// "entry 3 "A\B.TXT"": how messages name an entry, by its name as shown.
std::string EntryLabel(int index, const std::string& shown);
