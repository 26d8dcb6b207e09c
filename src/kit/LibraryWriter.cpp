#include "kit/LibraryWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <system_error>

#include "base/Paths.h"
#include "base/Scoped.h"
#include "kit/CodePage.h"
#include "kit/NameClash.h"
#include "kit/OutputFile.h"
#include "payload/EntryName.h"
#include "payload/LibraryFormat.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t COPY_CHUNK = 1 << 20;

// Setup joins names to "C:\QUENV98" unless the user picks another directory;
// a longer name does not fit its 259-character path there.
constexpr std::size_t DEFAULT_DIRECTORY_NAME_LIMIT = PATH_LIMIT - sizeof DEFAULT_INSTALL_DIR;

// The name as the format stores it cannot be: over 259 bytes, a zero byte,
// or a byte whose stored form is zero. Empty when it can be.
std::string StoredNameProblem(const std::string& name) {
  if (name.size() > LIBRARY_NAME_LIMIT) {
    return "the name has " + std::to_string(name.size()) + " bytes; an entry name has at most " +
           std::to_string(LIBRARY_NAME_LIMIT);
  }
  if (name.find('\0') != std::string::npos) return "the name holds a zero byte";
  int index = FindUnstorableCharacter(name.data(), name.size());
  if (index >= 0) {
    return "byte " + std::to_string(index + 1) + " of the name would be stored as a zero byte, which ends a name";
  }
  return "";
}

void Walk(const fs::path& directory, const CodePage& codePage, const std::string& prefix, std::vector<TreeFile>& files,
          std::vector<std::string>& problems, std::vector<std::string>& notes) {
  std::error_code code;
  fs::directory_iterator it(directory, code);
  if (code) {
    problems.push_back(directory.string() + ": cannot read the directory: " + code.message());
    return;
  }
  bool empty = true;
  for (; it != fs::directory_iterator(); it.increment(code)) {
    empty = false;
    const fs::path& path = it->path();
    std::string component;
    std::string problem;
    if (!codePage.NameFromSystem(path.filename(), component, problem)) {
      problems.push_back(path.string() + ": " + problem);
      continue;
    }
    std::string name = prefix.empty() ? component : prefix + "\\" + component;
    fs::file_status status = it->symlink_status(code);
    if (code) {
      problems.push_back(path.string() + ": " + code.message());
    } else if (fs::is_symlink(status)) {
      problems.push_back(path.string() + ": a symbolic link; the archive holds regular files only");
    } else if (fs::is_directory(status)) {
      if (component.find('\\') != std::string::npos) {
        problems.push_back(path.string() + ": the name holds a backslash, which the archive reads as a separator");
        continue;
      }
      Walk(path, codePage, name, files, problems, notes);
    } else if (!fs::is_regular_file(status)) {
      problems.push_back(path.string() + ": a special file; the archive holds regular files only");
    } else if (component.find('\\') != std::string::npos) {
      problems.push_back(path.string() + ": the name holds a backslash, which the archive reads as a separator");
    } else {
      std::uintmax_t size = it->file_size(code);
      if (code) {
        problems.push_back(path.string() + ": " + code.message());
      } else {
        files.push_back({name, path, static_cast<std::uint64_t>(size)});
      }
    }
    code.clear();
  }
  if (code) problems.push_back(directory.string() + ": cannot read the directory: " + code.message());
  if (empty && !prefix.empty()) {
    notes.push_back(directory.string() + ": an empty directory; the archive keeps directories only as parts of names");
  }
}

bool WriteAll(ByteSink& sink, const void* data, std::size_t size, std::string& error) {
  return sink.Write(static_cast<const unsigned char*>(data), size, error);
}

// Fills an entry header with the stored name and the size, not yet sealed.
// Fails, naming the entry, when either cannot be stored.
bool PrepareEntryHeader(const std::string& name, std::uint64_t size, LibraryEntryHeader& header, std::string& error) {
  std::memset(&header, 0, sizeof header);
  if (size > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE) ||
      !ScrambleName(name.data(), name.size(), header.name, sizeof header.name)) {
    error = name + ": " + (StoredNameProblem(name).empty() ? "too large for the archive" : StoredNameProblem(name));
    return false;
  }
  SetEntrySize(header, static_cast<std::int32_t>(size));
  return true;
}

// Seals the header with the CRC of the entry's plain data and writes it.
bool WriteSealedEntryHeader(ByteSink& sink, LibraryEntryHeader& header, std::uint32_t dataCrc, std::string& error) {
  SealEntryHeader(header, dataCrc);
  return WriteAll(sink, &header, sizeof header, error);
}

using ChunkTaker = std::function<bool(unsigned char* data, std::size_t size)>;

// Reads the file's bytes from where the stream stands, a buffer at a time,
// and hands each piece to take, which may change it in place. Fails, naming
// the file, on a read error or when the file no longer has the size it was
// gathered with; false from take ends the read, its message in error.
bool ReadSource(std::FILE* input, const TreeFile& file, unsigned char* buffer, const ChunkTaker& take,
                std::string& error) {
  std::uint64_t remainder = file.size;
  while (remainder > 0) {
    std::size_t chunk = remainder < COPY_CHUNK ? static_cast<std::size_t>(remainder) : COPY_CHUNK;
    if (std::fread(buffer, 1, chunk, input) != chunk) {
      error = file.source.string() + (std::ferror(input) ? ": read failed: " + SystemError()
                                                         : std::string(": the file shrank while it was packed"));
      return false;
    }
    if (!take(buffer, chunk)) return false;
    remainder -= chunk;
  }
  // The entry header holds the size: a file that grew since the walk cannot
  // be packed whole.
  if (std::fgetc(input) != EOF) {
    error = file.source.string() + ": the file grew while it was packed";
    return false;
  }
  return true;
}

}  // namespace

bool VectorSink::Write(const unsigned char* data, std::size_t size, std::string&) {
  out_.insert(out_.end(), data, data + size);
  return true;
}

std::string EntryNameProblem(const std::string& name, const CodePage& codePage) {
  std::string problem = StoredNameProblem(name);
  if (!problem.empty()) return problem;
  if (!IsSafeEntryName(name.c_str())) {
    return "the name is not safe to extract (a drive, a device, a \".\" or \"..\" component, an empty component, "
           "a trailing dot or space, or a control character)";
  }
  // Looked for among the characters: in a double-byte code page a second
  // byte may be one of them without the character being it.
  std::string text;
  if (!codePage.ToUtf8(name, text, problem)) text = name;
  if (text.find_first_of("<>\"|?*") != std::string::npos) {
    return "the name holds one of < > \" | ? *, which Windows does not allow in file names";
  }
  return "";
}

bool CollectTree(const fs::path& root, const CodePage& codePage, std::vector<TreeFile>& files,
                 std::vector<std::string>& problems, std::vector<std::string>& notes) {
  files.clear();
  std::error_code code;
  if (!fs::is_directory(root, code)) {
    problems.push_back(root.string() + ": not a directory");
    return false;
  }
  Walk(root, codePage, "", files, problems, notes);
  std::sort(files.begin(), files.end(), [](const TreeFile& a, const TreeFile& b) { return a.name < b.name; });

  NameClashCheck clashes(codePage);
  std::uint64_t total = LIBRARY_HEADER_SIZE;
  for (const TreeFile& file : files) {
    std::string problem = EntryNameProblem(file.name, codePage);
    if (problem.empty()) problem = clashes.Add(file.name);
    if (!problem.empty()) problems.push_back(file.source.string() + ": " + problem);
    if (file.size > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE)) {
      problems.push_back(file.source.string() + ": " + std::to_string(file.size) +
                         " bytes; an entry holds at most 2147483647");
    }
    if (file.name.size() > DEFAULT_DIRECTORY_NAME_LIMIT && file.name.size() <= LIBRARY_NAME_LIMIT) {
      notes.push_back(file.source.string() + ": the name has " + std::to_string(file.name.size()) +
                      " bytes; below C:\\QUENV98 it does not fit the installer's 259-byte paths");
    }
    total += LIBRARY_ENTRY_HEADER_SIZE + file.size;
  }
  if (total > static_cast<std::uint64_t>(LIBRARY_MAX_SIZE)) {
    problems.push_back(root.string() + ": the archive would have " + std::to_string(total) +
                       " bytes; it holds at most 2147483647");
  }
  return problems.empty();
}

std::uint64_t LibrarySize(const std::vector<TreeFile>& files) {
  std::uint64_t total = LIBRARY_HEADER_SIZE;
  for (const TreeFile& file : files) total += LIBRARY_ENTRY_HEADER_SIZE + file.size;
  return total;
}

bool WriteLibraryHeader(ByteSink& sink, std::string& error) {
  LibraryHeader header;
  std::memset(&header, 0, sizeof header);
  ScrambleName(LIBRARY_ACCESS_NAME, std::strlen(LIBRARY_ACCESS_NAME), header.accessName, sizeof header.accessName);
  MarkLibraryHeader(header);
  return WriteAll(sink, &header, sizeof header, error);
}

bool WriteLibraryEntry(ByteSink& sink, const std::string& name, const std::uint8_t* data, std::size_t size,
                       std::string& error) {
  LibraryEntryHeader header;
  if (!PrepareEntryHeader(name, size, header, error) ||
      !WriteSealedEntryHeader(sink, header, Crc32(0, data, size), error)) {
    return false;
  }
  std::vector<unsigned char> stored(data, data + size);
  ScrambleData(stored.data(), stored.size());
  return WriteAll(sink, stored.data(), stored.size(), error);
}

bool WriteLibrary(const std::vector<TreeFile>& files, ByteSink& sink, std::string& error,
                  const WorkProgress& progress) {
  const std::uint64_t total = LibrarySize(files);
  std::uint64_t done = 0;
  if (!WriteLibraryHeader(sink, error)) return false;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[COPY_CHUNK]);
  for (const TreeFile& file : files) {
    LibraryEntryHeader header;
    if (!PrepareEntryHeader(file.name, file.size, header, error)) return false;
    FileHandle input(OpenForReading(file.source));
    if (!input) {
      error = file.source.string() + ": cannot open: " + SystemError();
      return false;
    }
    // The entry header goes before the data and holds the data's CRC, so the
    // whole file is read once for the CRC before anything of it is written.
    std::uint32_t crc = 0;
    auto addToCrc = [&crc](unsigned char* data, std::size_t size) {
      crc = Crc32(crc, data, size);
      return true;
    };
    if (!ReadSource(input.get(), file, buffer.get(), addToCrc, error)) return false;
    if (!WriteSealedEntryHeader(sink, header, crc, error)) return false;
    auto copy = [&](unsigned char* data, std::size_t size) {
      ScrambleData(data, size);
      if (!sink.Write(data, size, error)) return false;
      done += size;
      if (progress) progress(done, total);
      return true;
    };
    if (file.size <= COPY_CHUNK) {
      // That one read left the whole file in the buffer.
      if (file.size > 0 && !copy(buffer.get(), static_cast<std::size_t>(file.size))) return false;
    } else {
      // A larger file is read a second time to be copied. Its CRC is taken
      // again on the way, so that a change between the two reads cannot give
      // an entry whose data disagrees with its sealed header.
      if (std::fseek(input.get(), 0, SEEK_SET) != 0) {
        error = file.source.string() + ": cannot read it a second time: " + SystemError();
        return false;
      }
      std::uint32_t copied = 0;
      auto copyWithCrc = [&](unsigned char* data, std::size_t size) {
        copied = Crc32(copied, data, size);
        return copy(data, size);
      };
      if (!ReadSource(input.get(), file, buffer.get(), copyWithCrc, error)) return false;
      if (copied != crc) {
        error = file.source.string() + ": the file changed while it was packed";
        return false;
      }
    }
    done += LIBRARY_ENTRY_HEADER_SIZE;
  }
  if (progress) progress(total, total);
  return true;
}
