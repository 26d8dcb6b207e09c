// An archive file opened for a walk from its start, for list, verify and
// extract: read as it is, or, when it is a compressed payload, expanded as
// the walk reads it, never held whole.
#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "base/Scoped.h"
#include "kit/ExpandedArchive.h"
#include "kit/LibraryScan.h"
#include "kit/szdd/SzddReader.h"

class ArchiveSource {
 public:
  ArchiveSource() = default;
  ArchiveSource(const ArchiveSource&) = delete;
  ArchiveSource& operator=(const ArchiveSource&) = delete;

  // Opens the file, again from its start if it was open. False, with a
  // message naming the file, when it is missing, not a regular file, or a
  // payload whose header is not SZDD.
  bool Open(const std::filesystem::path& path, std::string& error);
  ArchiveInput& Input() { return reader_ ? expanded_.input : file_.Input(); }
  bool Compressed() const { return reader_ != nullptr; }
  // Once the walk is done with it: for a payload, expands what the walk
  // left and tells whether the stream was sound. False, with a message
  // naming the file, when it was not.
  bool Finish(std::string& error);

 private:
  std::filesystem::path path_;
  FileInput file_;
  FileHandle payload_;
  std::unique_ptr<SzddReader> reader_;
  ExpandedArchive expanded_ = {};
};

// Opens the archive in the file and checks it whole (VerifyLibrary),
// printing every problem found, naming the file. False when it does not
// hold what setup relies on. A payload whose stream is broken is told as
// such, rather than by what its expansion cut short.
bool OpenAndVerify(const std::filesystem::path& file, const CodePage& codePage, ArchiveSource& source,
                   LibraryCheck& check);
