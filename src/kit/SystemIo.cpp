#include "kit/SystemIo.h"

#include <cerrno>
#include <cstring>

std::FILE* OpenForReading(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"rb");
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

std::string SystemError() { return std::strerror(errno); }
