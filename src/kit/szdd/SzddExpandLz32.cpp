// SZDD expansion on Windows, where libmspack is not at hand: the platform's
// own LZ expansion library reads the stream from its file, as the installer
// reads DATA.CMP, and LZRead hands over the expanded bytes as they are asked
// for.
#include <windows.h>

#include <io.h>

#include <memory>

#include "base/Scoped.h"
#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/SzddReader.h"

namespace {

// The temporary file of an expansion from memory: created with a unique
// name, deleted when done.
struct TempFile {
  char path[MAX_PATH] = {};
  bool created = false;
  ~TempFile() {
    if (created) DeleteFileA(path);
  }
};

bool WriteTemp(TempFile& temp, const std::uint8_t* data, std::size_t size, std::string& error) {
  char dir[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, dir);
  if (n == 0 || n >= MAX_PATH || GetTempFileNameA(dir, "szd", 0, temp.path) == 0) {
    error = "cannot make a temporary file for the LZ expansion";
    return false;
  }
  temp.created = true;
  FileHandle file(std::fopen(temp.path, "wb"));
  if (!file || std::fwrite(data, 1, size, file.get()) != size || std::fclose(file.release()) != 0) {
    error = std::string("cannot write ") + temp.path;
    return false;
  }
  return true;
}

}  // namespace

struct SzddReaderState {
  INT expansion = -1;  // from LZInit; LZClose closes the file under it too
  std::uint32_t declared = 0;
  std::uint64_t expanded = 0;  // as LZRead gave it, past the declared length too
  INT failure = 0;             // what LZRead returned when it failed
  bool ended = false;
  TempFile temp;          // a stream from memory, as a file
  FileHandle memoryFile;  // open on it

  ~SzddReaderState() { Close(); }
  void Close() {
    if (expansion >= 0) LZClose(expansion);
    expansion = -1;
  }
};

namespace {

// A handle of the stream's own for the LZ library, which closes it with the
// expansion; the stream's stays the caller's. Both share the file's
// position, which the stream leaves at the start.
HFILE LzFileOf(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  HANDLE duplicate = nullptr;
  if (handle == INVALID_HANDLE_VALUE || std::fseek(stream, 0, SEEK_SET) != 0 ||
      !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return HFILE_ERROR;
  }
  // Kernel handles keep to 32 bits, on 64-bit Windows too.
  return static_cast<HFILE>(HandleToLong(duplicate));
}

}  // namespace

SzddReader::SzddReader() : state_(new SzddReaderState) {}
SzddReader::~SzddReader() = default;

bool SzddReader::Open(std::FILE* stream, std::string& error) {
  SzddReaderState& s = *state_;
  std::uint8_t header[SZDD_HEADER_SIZE];
  const std::size_t got = std::fread(header, 1, sizeof header, stream);
  if (got < sizeof header && std::ferror(stream)) {
    error = "the compressed stream cannot be read";
    return false;
  }
  if (!SzddReadHeader(header, got, s.declared, error)) return false;
  const HFILE file = LzFileOf(stream);
  if (file == HFILE_ERROR) {
    error = "the compressed stream cannot be handed to the LZ library";
    return false;
  }
  const INT expansion = LZInit(file);
  if (expansion < 0) {
    CloseHandle(LongToHandle(file));
    error = "LZInit refused the stream (error " + std::to_string(expansion) + ")";
    return false;
  }
  s.expansion = expansion;
  return true;
}

std::uint32_t SzddReader::Declared() const { return state_->declared; }

// LZRead gives all it is asked for while the data lasts: a shorter read is
// the end.
std::size_t SzddReader::Read(void* into, std::size_t count) {
  SzddReaderState& s = *state_;
  auto* to = static_cast<char*>(into);
  std::size_t total = 0;
  while (!s.ended && total < count) {
    const INT wanted = static_cast<INT>(std::min<std::size_t>(count - total, 1u << 30));
    const INT got = s.expansion >= 0 ? LZRead(s.expansion, to + total, wanted) : 0;
    if (got < 0) s.failure = got;
    if (got > 0) total += static_cast<std::size_t>(got);
    s.ended = got < wanted;
  }
  // What lies past the declared length is never handed on.
  const std::uint64_t before = s.expanded;
  s.expanded += total;
  if (s.expanded > s.declared) {
    s.ended = true;
    return before >= s.declared ? 0 : static_cast<std::size_t>(s.declared - before);
  }
  return total;
}

bool SzddReader::Finish(std::string& error) {
  SzddReaderState& s = *state_;
  char rest[1 << 16];
  while (Read(rest, sizeof rest) > 0) {
  }
  s.Close();
  if (s.failure < 0) {
    error = "LZRead failed (error " + std::to_string(s.failure) + ")";
  } else {
    error = SzddLengthProblem(s.expanded, s.declared);
  }
  return error.empty();
}

bool SzddReader::Open(const std::uint8_t* data, std::size_t size, std::string& error) {
  SzddReaderState& s = *state_;
  if (!WriteTemp(s.temp, data, size, error)) return false;
  s.memoryFile.reset(std::fopen(s.temp.path, "rb"));
  if (!s.memoryFile) {
    error = std::string("cannot open ") + s.temp.path;
    return false;
  }
  return Open(s.memoryFile.get(), error);
}
