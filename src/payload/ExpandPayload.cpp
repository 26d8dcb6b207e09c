#include "payload/ExpandPayload.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/Fatal.h"
#include "base/ProgressProtocol.h"
#include "base/Scoped.h"
#include "base/SzddHeader.h"
#include "base/Transfer.h"
#include "payload/InstallTarget.h"
#include "payload/LibraryStreamCheck.h"
#include "payload/Lz32.h"

namespace {

constexpr int EXPAND_UNITS = 187;  // the bar's range: a constant, not the payload's size
constexpr char PAYLOAD_NAME[] = "DATA.CMP";

// The expanded length that the payload's header states, or -1 when the file
// is not an SZDD stream. The platform's expansion copies such a file as it
// is, and does not stop at the stated length either: it returns whatever the
// stream yields, short or not, without an error. The file is read from its
// start and left positioned there again for LZInit.
std::int64_t StatedLength(HFILE source) {
  if (source == HFILE_ERROR) return -1;
  unsigned char header[SZDD_HEADER_SIZE];
  const UINT got = _lread(source, header, sizeof header);
  _llseek(source, 0, FILE_BEGIN);
  if (got != sizeof header) return -1;
  std::uint32_t length = 0;
  if (SzddParseHeader(header, sizeof header, length) != SzddHeaderCheck::Ok) return -1;
  return length;
}

// Creates the archive, or empties an existing one, for writing with _lwrite;
// HFILE_ERROR when it cannot be created.
HFILE CreateArchive(const char* path) {
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HFILE_ERROR;
  // Kernel handles keep to 32 bits, on 64-bit Windows too, which is what
  // lets the file functions take them as HFILE.
  return static_cast<HFILE>(HandleToLong(file));
}

// The archive that the expansion wrote, as the checks made on its bytes
// while they were written judged it.
struct WrittenArchive {
  LibraryStreamCheck check;  // fed each chunk as it is written
  bool onDisk;               // the bytes fed are the archive on disk, whole
  IndexResult verdict;       // on all the bytes, once the last chunk was fed
};

WrittenArchive Written;  // the last expansion's archive; not onDisk until one has run

}  // namespace

bool ExpandedArchiveVerdict(IndexResult& verdict) {
  verdict = Written.verdict;
  return Written.onDisk;
}

void ExpandPayload(HWND window) {
  HeapBlock<char> buffer(static_cast<char*>(std::malloc(TRANSFER_CHUNK)));
  if (!buffer) ReportFatal(FATAL_DECOMPRESS_BUFFER);

  // Found by the platform's search, which looks in the program's own
  // directory first. Neither step is judged here: a payload that is missing
  // or cannot be expanded makes the first read fail.
  OFSTRUCT sourceInfo = {};
  const HFILE source = OpenFile(PAYLOAD_NAME, &sourceInfo, OF_READ);
  const std::int64_t stated = StatedLength(source);
  Lz32Handle expansion(Lz32().init(source));
  if (!expansion.Valid() && source != HFILE_ERROR) _lclose(source);

  // An installation directory too long for the archive's path would cut it
  // short into a path naming something else: no byte is expanded then.
  char destination[PATH_BUFFER];
  if (!FormLibraryPath(destination)) ReportFatal(FATAL_OPEN_LIBRARY);

  ProgressBegin(window, EXPAND_UNITS);
  // An existing archive is emptied. A destination that cannot be created
  // (its directory is missing) is found out when the archive is opened.
  // LZOpenFileA would create it as OpenFile does, which keeps the full path
  // in a record of 128 characters and so refuses any installation directory
  // longer than 118. The handle from CreateFileA serves _lwrite, and is
  // closed with _lclose (see KernelFile).
  KernelFile output(CreateArchive(destination));
  Written.onDisk = false;
  LibraryStreamBegin(Written.check, InstallNameTarget());

  std::int64_t expanded = 0;
  for (;;) {
    const INT n = Lz32().read(expansion.Get(), buffer.get(), TRANSFER_CHUNK);
    if (n < 0) ReportFatal(FATAL_DECOMPRESSION);
    // A write that fails or falls short (a full disk) would leave an archive
    // that is cut short; nothing after it could be trusted.
    if (output.Valid() && n > 0 && _lwrite(output.Get(), buffer.get(), static_cast<UINT>(n)) != static_cast<UINT>(n)) {
      ReportFatal(FATAL_DECOMPRESSION);
    }
    if (n > 0) LibraryStreamFeed(Written.check, reinterpret_cast<unsigned char*>(buffer.get()), static_cast<UINT>(n));
    expanded += n;
    // Any shorter read, none at all included, is the end of the data.
    const bool last = n < TRANSFER_CHUNK;
    ProgressStep(window, last);
    if (last) break;
  }
  // A payload cut short or damaged expands to another length than its
  // header states; the platform's expansion does not notice.
  if (stated >= 0 && expanded != stated) ReportFatal(FATAL_DECOMPRESSION);
  // The checks' verdict waits for the extraction, which reports it in its
  // place among the installation's failures.
  Written.verdict = LibraryStreamEnd(Written.check);
  Written.onDisk = output.Valid();
  expansion.Close();  // the source first, then the archive
  output.Close();
}
