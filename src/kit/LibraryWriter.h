// The kit builder's side of the library archive: which names and files an
// archive can hold, the tree walk that gathers them, and the writer that lays
// them out with the format's inverse transforms.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class CodePage;

// Called now and then with the bytes done so far and the total.
using WorkProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

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

// One file of the tree as it goes into the archive.
struct TreeFile {
  std::string name;              // entry name: the relative path in the code page, components joined with '\'
  std::filesystem::path source;  // where its bytes are read from
  std::uint64_t size;            // its size when the tree was walked
};

// Why the name, in the code page, cannot be an entry name, or an empty string
// when it can: over 259 bytes, a byte whose stored form is a zero byte, a
// name the entry-name rule refuses, or a character Windows does not allow in
// file names.
std::string EntryNameProblem(const std::string& name, const CodePage& codePage);

// Gathers every regular file below root, its name converted into the code
// page, sorted by entry name (byte order), so that the same tree gives the
// same archive whatever the order of the directory listing. Symbolic links,
// special files, names that the code page cannot write, names that cannot
// be entries, names that one folder cannot hold side by side, files over
// 2147483647 bytes and a total over the archive's limit are refused: one
// line in problems for each, naming the file. Directories are not entries;
// an empty one is reported in notes, as it will not be kept. True when there
// is no problem.
bool CollectTree(const std::filesystem::path& root, const CodePage& codePage, std::vector<TreeFile>& files,
                 std::vector<std::string>& problems, std::vector<std::string>& notes);

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
