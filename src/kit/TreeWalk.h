// The kit's file tree as it goes into an archive: the walk that gathers its
// files, their names in the target machines' code page.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CodePage;

// One file of the tree as it goes into the archive.
// A kit holds tens of thousands of these, so the source is kept as the
// system names it: a path object would hold each of its components again.
struct TreeFile {
  std::string name;                           // entry name: the relative path in the code page, joined with '\'
  std::filesystem::path::string_type source;  // where its bytes are read from
  std::uint64_t size;                         // its size when the tree was walked
};

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
