#include "kit/KitFiles.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <system_error>

#include "base/Scoped.h"
#include "base/SzddHeader.h"
#include "kit/PathDisplay.h"
#include "kit/SystemIo.h"

namespace {

constexpr std::size_t COPY_CHUNK = 1 << 20;

// Opens a regular file for reading, and tells its size.
FileHandle OpenRegular(const std::filesystem::path& path, std::uintmax_t& size, std::string& error) {
  std::error_code code;
  if (!std::filesystem::is_regular_file(path, code)) {
    error = DisplayPath(path) + (std::filesystem::exists(path, code) ? ": not a regular file" : ": no such file");
    return nullptr;
  }
  FileHandle file(OpenForReading(path));
  if (!file) {
    error = DisplayPath(path) + ": cannot open: " + SystemError();
    return nullptr;
  }
  size = std::filesystem::file_size(path, code);
  if (code) {
    error = DisplayPath(path) + ": " + code.message();
    return nullptr;
  }
  return file;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::uintmax_t size = 0;
  FileHandle file = OpenRegular(path, size, error);
  if (!file) return false;
  if (size > SIZE_MAX) {
    error = DisplayPath(path) + ": too large to read";
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size));
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fgetc(file.get()) != EOF) {
    error = DisplayPath(path) + ": read failed or the file changed while it was read";
    return false;
  }
  return true;
}

bool WriteWholeFile(OutputFile& output, const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error) {
  return output.Create(path, error) && output.Write(bytes.data(), bytes.size(), error);
}

bool StreamFile(const std::filesystem::path& path, std::uint64_t size, ByteSink& sink, std::string& error,
                const WorkProgress& progress) {
  FileHandle file(OpenForReading(path));
  if (!file) {
    error = DisplayPath(path) + ": cannot open: " + SystemError();
    return false;
  }
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[COPY_CHUNK]);
  for (std::uint64_t left = size; left > 0;) {
    const std::size_t chunk = left < COPY_CHUNK ? static_cast<std::size_t>(left) : COPY_CHUNK;
    if (std::fread(buffer.get(), 1, chunk, file.get()) != chunk) {
      error = DisplayPath(path) + ": read failed or the file changed while it was read";
      return false;
    }
    if (!sink.Write(buffer.get(), chunk, error)) return false;
    left -= chunk;
    if (progress) progress(size - left, size);
  }
  if (std::fgetc(file.get()) != EOF) {
    error = DisplayPath(path) + ": the file grew while it was read";
    return false;
  }
  return true;
}

bool CopyIntoOutput(const std::filesystem::path& source, OutputFile& output, const std::filesystem::path& path,
                    std::string& error) {
  std::uintmax_t size = 0;
  if (!OpenRegular(source, size, error) || !output.Create(path, error)) return false;
  OutputSink sink(output);
  return StreamFile(source, size, sink, error);
}

bool IsSzdd(const std::filesystem::path& path) {
  unsigned char start[sizeof SZDD_MAGIC] = {};
  FileHandle file(OpenForReading(path));
  return file && std::fread(start, 1, sizeof start, file.get()) == sizeof start &&
         std::memcmp(start, SZDD_MAGIC, sizeof start) == 0;
}
