// The kit builder's files: reading them whole, writing them whole under a
// temporary name, and opening an archive or a compressed payload for the
// archive walk.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/LibraryScan.h"
#include "kit/LibraryWriter.h"
#include "kit/OutputFile.h"

// Reads a regular file whole. False, with a message naming the file, when it
// is missing, not a regular file, unreadable or changes while it is read.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Creates the output for path and writes the bytes to it; the caller commits.
bool WriteWholeFile(OutputFile& output, const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

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

// The archive in a file: read as it is, or expanded first when the file is a
// compressed payload.
struct ArchiveSource {
  FileInput file;
  std::vector<std::uint8_t> expanded;
  bool compressed = false;
  ArchiveInput memory = {};
  ArchiveInput& Input() { return compressed ? memory : file.Input(); }
};

// Opens the archive in a regular file, expanding a compressed payload into
// memory. False, with a message naming the file, otherwise.
bool OpenArchiveSource(const std::filesystem::path& path, ArchiveSource& source, std::string& error);
