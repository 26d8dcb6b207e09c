#include "kit/LibraryScan.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "kit/NameClash.h"
#include "kit/NamePolicy.h"
#include "kit/PathDisplay.h"
#include "kit/SystemIo.h"
#include "payload/LibraryFormat.h"

namespace {
constexpr std::size_t READ_CHUNK = 1 << 20;

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIX32, value);
  return text;
}
}  // namespace

bool FileInput::Open(const std::filesystem::path& path, std::string& error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    error = DisplayPath(path) + ": is a directory";
    return false;
  }
  file_.reset(OpenForReading(path));
  if (!file_) {
    error = DisplayPath(path) + ": cannot open: " + SystemError();
    return false;
  }
  // Told by the file system rather than by the stream, whose offsets may be
  // 32 bits wide, so that a file past 2 GiB is still walked up to the
  // format's limit.
  const std::uintmax_t length = std::filesystem::file_size(path, code);
  if (code) {
    error = DisplayPath(path) + ": " + code.message();
    return false;
  }
  input_ = ArchiveInStream(file_.get(), static_cast<std::int64_t>(length));
  return true;
}

std::string EntryLabel(int index, const std::string& shown) {
  return "entry " + std::to_string(index) + " \"" + shown + "\"";
}

bool LibraryScanner::ReadHeader(std::string& problem) {
  switch (LibraryWalkBegin(walk_, input_, LIBRARY_ACCESS_NAME)) {
    case LibraryFault::None: return true;
    case LibraryFault::ReadFailed: problem = "read failed: " + SystemError(); break;
    case LibraryFault::HeaderShort:
      problem = "only " + std::to_string(walk_.faultOffset) + " bytes: shorter than the 23-byte header";
      break;
    default: problem = std::string("the header does not carry the access name ") + LIBRARY_ACCESS_NAME; break;
  }
  return false;
}

ScanStep LibraryScanner::Next(ScannedEntry& entry, std::string& problem) {
  const WalkStep step = LibraryWalkNext(walk_, entry_);
  if (step == WalkStep::End) return ScanStep::End;
  const std::string where =
      "entry " + std::to_string(entry_.index) + " at offset " + std::to_string(entry_.headerOffset);
  if (step == WalkStep::Refused) {
    switch (walk_.fault) {
      case LibraryFault::DataPastEnd:
        problem = current_ + ": the data runs past the end of the archive (" + std::to_string(walk_.missing) +
                  " bytes missing)";
        return ScanStep::Invalid;
      case LibraryFault::NameUnterminated:
        problem = where + ": the name field has no zero byte";
        return ScanStep::Invalid;
      case LibraryFault::SizeNegative:
        problem = where + ": negative size " + std::to_string(entry_.size);
        return ScanStep::Invalid;
      case LibraryFault::BeyondLimit: break;  // worded below, once the entry is named
      default:
        problem = "read failed at offset " + std::to_string(walk_.faultOffset) + ": " + SystemError();
        return ScanStep::Invalid;
    }
  }
  const bool checked = walk_.marking == LibraryMarking::Checked;
  entry.headerIntact = entry_.headerIntact;
  entry.dataCrc = checked ? StoredDataCrc(entry_.header) : 0;
  entry.index = entry_.index;
  entry.name = entry_.header.name;
  entry.shown = codePage_.Display(entry.name);
  entry.size = entry_.size;
  entry.dataOffset = entry_.dataOffset;
  current_ = EntryLabel(entry.index, entry.shown);
  // The walk stops where a header's data would begin beyond the range; the
  // kit refuses an entry whose data would end there.
  if (step == WalkStep::Refused || entry.dataOffset + entry.size > LIBRARY_MAX_SIZE) {
    problem = current_ + ": ends beyond the archive's limit of 2147483647 bytes";
    return ScanStep::Invalid;
  }
  return ScanStep::Entry;
}

bool LibraryScanner::ReadData(const std::function<bool(const unsigned char*, std::size_t)>& consume,
                              std::string& problem) {
  if (buffer_.empty()) buffer_.resize(READ_CHUNK);
  while (const std::size_t got = LibraryWalkRead(walk_, buffer_.data(), buffer_.size())) {
    if (!consume(buffer_.data(), got)) return false;
  }
  if (walk_.fault == LibraryFault::DataPastEnd) {
    problem =
        current_ + ": the data runs past the end of the archive (" + std::to_string(walk_.missing) + " bytes missing)";
    return false;
  }
  if (walk_.fault != LibraryFault::None) {
    problem = current_ + ": read failed: " + SystemError();
    return false;
  }
  return true;
}

namespace {

// One verification under way: the walk, the names met so far, and what it
// has found.
struct Verification {
  Verification(ArchiveInput& in, const CodePage& page, LibraryCheck& found, const WorkProgress& told)
      : input(in), codePage(page), check(found), progress(told), scanner(in, page), clashes(page) {}
  ArchiveInput& input;
  const CodePage& codePage;
  LibraryCheck& check;
  const WorkProgress& progress;
  LibraryScanner scanner;
  NameClashCheck clashes;
};

// Why the name would not install: the installer's rule, text in the code
// page, no clash with a name before it. Empty when nothing.
std::string NameProblem(Verification& v, const std::string& name) {
  const std::string rule = InstallNameProblem(name, v.codePage);
  if (!rule.empty()) return rule;
  std::string text, problem;
  if (!v.codePage.ToUtf8(name, text, problem)) {
    return "the name is not text in code page " + std::to_string(v.codePage.Number()) +
           " (an archive for another code page needs --codepage)";
  }
  return v.clashes.Add(name);
}

// Checks the entry the walk stands at, reading its data to the end. False
// when nothing after it can be placed: its header is damaged, or its data
// cannot be read.
bool CheckEntry(Verification& v, const ScannedEntry& entry) {
  ++v.check.entries;
  v.check.names.push_back(entry.name);
  const std::string label = EntryLabel(entry.index, entry.shown);
  // Any field of a damaged header may be wrong, its size among them.
  if (!entry.headerIntact) {
    v.check.problems.push_back(label + ": the entry header is damaged (it does not agree with its CRC)");
    return false;
  }
  const std::string name = NameProblem(v, entry.name);
  if (!name.empty()) v.check.problems.push_back(label + ": " + name);
  // Reading every byte is the point: an archive whose data cannot be read
  // to its end does not install. In a checked archive the walk takes the
  // data's CRC on the way.
  auto counted = [&v](const unsigned char*, std::size_t n) {
    v.check.dataBytes += n;
    if (v.progress) v.progress(v.scanner.Position(), static_cast<std::uint64_t>(v.input.length));
    return true;
  };
  std::string problem;
  if (!v.scanner.ReadData(counted, problem)) {
    v.check.problems.push_back(problem);
    return false;
  }
  if (!v.scanner.DataIntact()) {
    v.check.problems.push_back(label + ": data CRC mismatch: the header holds " + Hex32(entry.dataCrc) +
                               ", the data gives " + Hex32(v.scanner.DataCrc()));
  }
  return true;
}

}  // namespace

bool VerifyLibrary(ArchiveInput& input, const CodePage& codePage, LibraryCheck& check, const WorkProgress& progress) {
  Verification v(input, codePage, check, progress);
  std::string problem;
  if (!v.scanner.ReadHeader(problem)) {
    check.problems.push_back(problem);
    return false;
  }
  if (v.scanner.Marking() == LibraryMarking::Damaged) {
    check.problems.push_back("the header's check marker or CRC is damaged");
  }
  ScannedEntry entry;
  ScanStep step;
  while ((step = v.scanner.Next(entry, problem)) == ScanStep::Entry && CheckEntry(v, entry)) {
  }
  if (step == ScanStep::Invalid) check.problems.push_back(problem);
  if (step == ScanStep::End && v.scanner.TrailingBytes() > 0) {
    check.problems.push_back(std::to_string(v.scanner.TrailingBytes()) +
                             " bytes left over after the last entry, too few for an entry header");
  }
  return check.problems.empty();
}
