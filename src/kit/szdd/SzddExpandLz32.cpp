// SZDD expansion on Windows, where libmspack is not at hand: the platform's
// own LZ expansion library reads the stream from a temporary file, in the
// 64000-byte chunks the installer reads it in.
#include <windows.h>

#include <memory>

#include "base/Scoped.h"
#include "base/Transfer.h"
#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddFormat.h"

namespace {

// The temporary file: created with a unique name, deleted when done.
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
  HANDLE file = CreateFileA(temp.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = std::string("cannot write ") + temp.path;
    return false;
  }
  bool ok = true;
  for (std::size_t done = 0; ok && done < size;) {
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(file, data + done, part, &written, nullptr) && written == part;
    done += written;
  }
  CloseHandle(file);
  if (!ok) error = std::string("cannot write ") + temp.path;
  return ok;
}

}  // namespace

bool SzddExpand(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, std::string& error) {
  out.clear();
  std::uint32_t declared = 0;
  if (!SzddReadHeader(data, size, declared, error)) return false;

  TempFile temp;
  if (!WriteTemp(temp, data, size, error)) return false;
  OFSTRUCT info = {};
  const HFILE source = OpenFile(temp.path, &info, OF_READ);
  if (source == HFILE_ERROR) {
    error = std::string("cannot open ") + temp.path;
    return false;
  }
  const LzHandle expansion(LZInit(source));
  if (!expansion.Valid()) {
    _lclose(source);
    error = "LZInit refused the stream (error " + std::to_string(expansion.Get()) + ")";
    return false;
  }

  // Reads one chunk past the declared length at most, so that a stream that
  // expands to more is told apart without holding all of it.
  std::vector<std::uint8_t> chunk(TRANSFER_CHUNK);
  for (;;) {
    const INT got = LZRead(expansion.Get(), reinterpret_cast<LPSTR>(chunk.data()), TRANSFER_CHUNK);
    if (got < 0) {
      error = "LZRead failed (error " + std::to_string(got) + ")";
      return false;
    }
    out.insert(out.end(), chunk.begin(), chunk.begin() + got);
    if (out.size() > declared) {
      error = "stream expands past the " + std::to_string(declared) + " bytes its header declares";
      return false;
    }
    if (got < TRANSFER_CHUNK) break;
  }
  if (out.size() != declared) {
    error =
        "stream expands to " + std::to_string(out.size()) + " bytes, its header declares " + std::to_string(declared);
    return false;
  }
  return true;
}
