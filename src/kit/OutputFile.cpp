#include "kit/OutputFile.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "kit/PathDisplay.h"
#include "kit/SystemIo.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#define QV_GETPID _getpid
#else
#include <unistd.h>
#define QV_GETPID getpid
#endif

namespace {

// Opens a new file that must not exist yet, so that two writers never share
// a temporary file.
std::FILE* CreateExclusive(const std::filesystem::path& path) {
#ifdef _WIN32
  int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0644);
  return fd < 0 ? nullptr : _fdopen(fd, "wb");
#else
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  std::FILE* stream = fdopen(fd, "wb");
  if (stream == nullptr) close(fd);
  return stream;
#endif
}

std::atomic<unsigned> TemporaryCounter{0};

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Create(const std::filesystem::path& finalPath, std::string& error) {
  Discard();
  final_ = finalPath;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = finalPath;
    candidate += ".kitpack-" + std::to_string(QV_GETPID()) + "-" + std::to_string(TemporaryCounter++) + ".tmp";
    errno = 0;
    stream_ = CreateExclusive(candidate);
    if (stream_ != nullptr) {
      temporary_ = candidate;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = DisplayPath(finalPath) + ": cannot create: " + SystemError();
  return false;
}

bool OutputFile::Write(const void* data, std::size_t size, std::string& error) {
  if (size == 0) return true;
  if (std::fwrite(data, 1, size, stream_) == size) return true;
  error = DisplayPath(final_) + ": write failed: " + SystemError();
  return false;
}

bool OutputFile::Flush(std::string& error) {
  if (std::fflush(stream_) == 0) return true;
  error = DisplayPath(final_) + ": write failed: " + SystemError();
  return false;
}

bool OutputFile::Commit(std::string& error) {
  std::FILE* stream = stream_;
  stream_ = nullptr;
  bool flushed = std::fflush(stream) == 0;
  if (std::fclose(stream) != 0 || !flushed) {
    error = DisplayPath(final_) + ": write failed: " + SystemError();
    Discard();
    return false;
  }
  std::error_code code;
  std::filesystem::rename(temporary_, final_, code);
  if (code) {
    error = DisplayPath(final_) + ": cannot rename into place: " + code.message();
    Discard();
    return false;
  }
  temporary_.clear();
  return true;
}

void OutputFile::Discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
  }
  temporary_.clear();
}

bool OutputFolder::Create(const std::filesystem::path& folder, std::string& error) {
  std::error_code code;
  for (std::filesystem::path at = folder; !at.empty() && !std::filesystem::exists(at, code); at = at.parent_path()) {
    made_.push_back(at);
    if (at == at.parent_path()) break;
  }
  std::filesystem::create_directories(folder, code);
  if (!code) return true;
  error = DisplayPath(folder) + ": cannot create the directory: " + code.message();
  return false;
}

OutputFolder::~OutputFolder() {
  std::error_code ignored;
  for (const std::filesystem::path& folder : made_) std::filesystem::remove(folder, ignored);
}
