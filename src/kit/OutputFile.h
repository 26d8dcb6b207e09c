// A file that appears under its final name only when it is complete: it is
// written under a temporary name in the same directory and renamed into
// place by Commit. Destroyed without a commit, it removes the temporary file.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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
  // Hands what was written to the system, so that the temporary file can be
  // read back before it is committed. False with a message.
  bool Flush(std::string& error);
  const std::filesystem::path& TemporaryPath() const { return temporary_; }
  // Flushes and closes the file, then renames it to its final name. False,
  // with the temporary file removed, when any of it fails.
  bool Commit(std::string& error);

 private:
  void Discard();

  std::filesystem::path final_;
  std::filesystem::path temporary_;
  std::FILE* stream_ = nullptr;
};

// A folder that outputs go into, made with any of its parents that were
// missing. Destroyed without Keep, it removes again what it made, as far as
// that is empty: a failed command leaves no folder of its own behind.
class OutputFolder {
 public:
  OutputFolder() = default;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;
  ~OutputFolder();

  // False with a message naming the folder.
  bool Create(const std::filesystem::path& folder, std::string& error);
  void Keep() { made_.clear(); }

 private:
  std::vector<std::filesystem::path> made_;  // innermost first
};
