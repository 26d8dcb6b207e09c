#include "kit/PayloadCheck.h"

#include <exception>

#include "base/Scoped.h"
#include "kit/ExpandedArchive.h"
#include "kit/LibraryScan.h"
#include "kit/PathDisplay.h"
#include "kit/ProgressBar.h"
#include "kit/SystemIo.h"
#include "kit/szdd/SzddReader.h"
#include "kit/szdd/Workers.h"
#if !defined(_WIN32)
#include "kit/szdd/ByteChannel.h"
#endif

namespace {

// What the expansion gave.
struct Expansion {
  std::uint64_t length = 0;
  std::uint32_t crc = 0;
  std::vector<std::string> problems;
};

// The expanded archive, entry by entry, as the walk gives it: every entry
// whole, its header and its data agreeing with their CRCs, nothing left
// over. Names are not looked at again: the tree's were checked before they
// were packed, and a name that changed on the way fails its header's CRC.
void CheckEntries(ArchiveInput& input, const CodePage& codePage, const WorkProgress& progress,
                  std::vector<std::string>& problems) {
  LibraryScanner scanner(input, codePage);
  std::string problem;
  if (!scanner.ReadHeader(problem) || scanner.Marking() != LibraryMarking::Checked) {
    problems.push_back(problem.empty() ? "the header's check marker or CRC is damaged" : problem);
    return;
  }
  auto counted = [&](const unsigned char*, std::size_t) {
    if (progress) progress(scanner.Position(), static_cast<std::uint64_t>(input.length));
    return true;
  };
  ScannedEntry entry;
  for (ScanStep step; (step = scanner.Next(entry, problem)) == ScanStep::Entry;) {
    const std::string label = EntryLabel(entry.index, entry.shown);
    if (!entry.headerIntact) problem = label + ": the entry header does not agree with its CRC";
    if (!entry.headerIntact || !scanner.ReadData(counted, problem)) break;
    if (!scanner.DataIntact()) problems.push_back(label + ": the data does not agree with its CRC");
  }
  if (!problem.empty()) problems.push_back(problem);
  if (scanner.TrailingBytes() > 0) problems.push_back("bytes left over after the last entry");
}

// Expands the payload to its end, checking it as an archive on the way when
// asked to.
void Expand(SzddReader& reader, const CodePage* archive, const WorkProgress& progress, Expansion& got) {
  ExpandedArchive expanded;
  ExpandedArchiveBegin(expanded, reader);
  std::vector<std::string> problems;
  if (archive != nullptr) CheckEntries(expanded.input, *archive, progress, problems);
  for (const std::string& problem : problems) got.problems.push_back("the compressed result: " + problem);
  ExpandedArchiveDrain(expanded);
  std::string why;
  if (!reader.Finish(why)) got.problems.push_back("the compressed result does not expand: " + why);
  got.length = static_cast<std::uint64_t>(expanded.consumed);
  got.crc = expanded.crc;
}

#if !defined(_WIN32)
// The payload on its way from the writer to the expansion: room for the
// output of a dozen blocks or so, so that a check that falls behind for a
// moment, while the compressor's workers take the cores, holds up no writer.
constexpr std::size_t FEED_SIZE = 4u << 20;
#endif

}  // namespace

struct PayloadCheckState {
  const CodePage* archive;
  Expansion got;
  std::exception_ptr thrown;  // by the expansion on its thread, thrown again by Finish
  bool running = false;       // the expansion runs beside the writing
#if !defined(_WIN32)
  ByteChannel feed{FEED_SIZE};
#endif
  WorkerThread thread;

  void Start();
  void Stop();
};

#if defined(_WIN32)
// The platform's LZ library reads only files: the check waits for the file.
void PayloadCheckState::Start() {}
void PayloadCheckState::Stop() {}
#else
void PayloadCheckState::Start() {
  running = thread.Start([this] {
    try {
      SzddReader reader;
      std::string why;
      auto pull = [this](void* into, std::size_t count) { return static_cast<long>(feed.Get(into, count)); };
      if (reader.Open(pull, why)) {
        Expand(reader, archive, {}, got);
      } else {
        got.problems.push_back("the compressed result does not expand: " + why);
      }
    } catch (...) {
      thrown = std::current_exception();
    }
    // Whatever the expansion did not read is of no further use.
    feed.Abandon();
  });
}

void PayloadCheckState::Stop() {
  feed.Close();
  thread.Join();
}
#endif

PayloadCheck::PayloadCheck(const CodePage* archive, unsigned jobs) : state_(new PayloadCheckState) {
  state_->archive = archive;
  if (jobs > 1) state_->Start();
}

PayloadCheck::~PayloadCheck() { state_->Stop(); }

void PayloadCheck::Feed(const std::uint8_t* data, std::size_t size) {
#if !defined(_WIN32)
  if (state_->running) state_->feed.Put(data, size);
#else
  (void)data;
  (void)size;
#endif
}

bool PayloadCheck::Finish(const std::filesystem::path& written, std::uint64_t length, std::uint32_t crc,
                          std::vector<std::string>& problems) {
  PayloadCheckState& s = *state_;
  if (s.running) {
    s.Stop();
    if (s.thrown) std::rethrow_exception(s.thrown);
  } else {
    FileHandle file(OpenForReading(written));
    SzddReader reader;
    std::string why;
    if (!file || !reader.Open(file.get(), why)) {
      problems.push_back(DisplayPath(written) + ": cannot be read back: " + (file ? why : SystemError()));
      return false;
    }
    ProgressBar bar("checking");
    Expand(reader, s.archive, bar.Callback(), s.got);
  }
  problems = s.got.problems;
  if (problems.empty() && (s.got.length != length || s.got.crc != crc)) {
    problems.push_back("the compressed result does not expand to the original bytes");
  }
  return problems.empty();
}
