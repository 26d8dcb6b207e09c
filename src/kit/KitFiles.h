// The kit builder's files: reading small ones whole, copying and writing
// them under a temporary name, and telling a compressed payload from an
// archive.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/LibraryWriter.h"
#include "kit/OutputFile.h"

// Reads a regular file whole. False, with a message naming the file, when it
// is missing, not a regular file, unreadable or changes while it is read.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Creates the output for path and writes the bytes to it; the caller commits.
bool WriteWholeFile(OutputFile& output, const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

// Creates the output for path and copies the regular file source into it a
// piece at a time; the caller commits. False, with a message naming the file
// that failed.
bool CopyIntoOutput(const std::filesystem::path& source, OutputFile& output, const std::filesystem::path& path,
                    std::string& error);

// Gives the regular file's bytes to the sink a piece at a time, reading
// exactly size bytes. False, with a message naming the file, when it cannot
// be read or no longer has that size.
bool StreamFile(const std::filesystem::path& path, std::uint64_t size, ByteSink& sink, std::string& error,
                const WorkProgress& progress = {});

// Whether the file starts with the SZDD magic.
bool IsSzdd(const std::filesystem::path& path);

// The archive's bytes going into an output file.
class OutputSink : public ByteSink {
 public:
  explicit OutputSink(OutputFile& file) : file_(file) {}
  bool Write(const unsigned char* data, std::size_t size, std::string& error) override {
    return file_.Write(data, size, error);
  }

 private:
  OutputFile& file_;
};
