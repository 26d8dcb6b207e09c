#include "kit/KitFiles.h"

#include <cstdint>
#include <cstring>
#include <system_error>

#include "base/Scoped.h"
#include "base/SzddHeader.h"
#include "kit/SystemIo.h"
#include "kit/szdd/Szdd.h"

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::error_code code;
  if (!std::filesystem::is_regular_file(path, code)) {
    error = path.string() + (std::filesystem::exists(path, code) ? ": not a regular file" : ": no such file");
    return false;
  }
  FileHandle file(OpenForReading(path));
  if (!file) {
    error = path.string() + ": cannot open: " + SystemError();
    return false;
  }
  std::uintmax_t size = std::filesystem::file_size(path, code);
  if (code) {
    error = path.string() + ": " + code.message();
    return false;
  }
  if (size > SIZE_MAX) {
    error = path.string() + ": too large to read";
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size));
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fgetc(file.get()) != EOF) {
    error = path.string() + ": read failed or the file changed while it was read";
    return false;
  }
  return true;
}

bool WriteWholeFile(OutputFile& output, const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error) {
  return output.Create(path, error) && output.Write(bytes.data(), bytes.size(), error);
}

bool IsSzdd(const std::filesystem::path& path) {
  unsigned char start[sizeof SZDD_MAGIC] = {};
  FileHandle file(OpenForReading(path));
  return file && std::fread(start, 1, sizeof start, file.get()) == sizeof start &&
         std::memcmp(start, SZDD_MAGIC, sizeof start) == 0;
}

bool OpenArchiveSource(const std::filesystem::path& path, ArchiveSource& source, std::string& error) {
  std::error_code code;
  if (!std::filesystem::exists(path, code)) {
    error = path.string() + ": no such file";
    return false;
  }
  // A pipe or a device would block the first read or never end.
  if (!std::filesystem::is_regular_file(path, code)) {
    error = path.string() + ": not a regular file";
    return false;
  }
  if (!IsSzdd(path)) return source.file.Open(path, error);
  std::vector<std::uint8_t> compressed;
  if (!ReadWholeFile(path, compressed, error)) return false;
  std::string why;
  if (!SzddExpand(compressed.data(), compressed.size(), source.expanded, why)) {
    error = path.string() + ": the compressed payload does not expand: " + why;
    return false;
  }
  source.compressed = true;
  source.memory = ArchiveInMemory(source.expanded.data(), source.expanded.size());
  return true;
}
