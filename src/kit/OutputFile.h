// A file that appears under its final name only when it is complete: it is
// written under a temporary name in the same directory and renamed into
// place by Commit. Destroyed without a commit, it removes the temporary file.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Creates the temporary file beside finalPath. False with a message.
  bool Create(const std::filesystem::path& finalPath, std::string& error);
  std::FILE* Stream() const { return stream_; }
  // Writes all of the bytes; false with a message on a failed or short write.
  bool Write(const void* data, std::size_t size, std::string& error);
  // Flushes and closes the file, then renames it to its final name. False,
  // with the temporary file removed, when any of it fails.
  bool Commit(std::string& error);

 private:
  void Discard();

  std::filesystem::path final_;
  std::filesystem::path temporary_;
  std::FILE* stream_ = nullptr;
};
