// The kit builder's writer of the library archive: it lays out the files of
// a tree, or entries from memory, with the format's inverse transforms.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "kit/TreeWalk.h"
#include "kit/WorkProgress.h"

// Where the archive's bytes go.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False, with a message, when the bytes could not all be taken.
  virtual bool Write(const unsigned char* data, std::size_t size, std::string& error) = 0;
};

class VectorSink : public ByteSink {
 public:
  explicit VectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
  bool Write(const unsigned char* data, std::size_t size, std::string& error) override;

 private:
  std::vector<std::uint8_t>& out_;
};

// The archive's size for these files: header, entry headers and data.
std::uint64_t LibrarySize(const std::vector<TreeFile>& files);

// Writes the archive: the header with the access name and the check marker,
// then each file as an entry sealed with the CRC of its bytes, in the order
// given. Fails, with a message naming the file, when a file cannot be read,
// no longer has the size it was gathered with, or, when it is larger than the
// copy buffer and so read twice, changed between the two reads.
bool WriteLibrary(const std::vector<TreeFile>& files, ByteSink& sink, std::string& error,
                  const WorkProgress& progress = {});

// The header and one entry from memory: the halves of what WriteLibrary
// does, marked and sealed the same way, for archives not made from a tree.
bool WriteLibraryHeader(ByteSink& sink, std::string& error);
bool WriteLibraryEntry(ByteSink& sink, const std::string& name, const std::uint8_t* data, std::size_t size,
                       std::string& error);
