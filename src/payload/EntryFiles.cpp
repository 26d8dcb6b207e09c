#include "payload/EntryFiles.h"

#include <cstdio>
#include <cstring>

#include "base/Format.h"
#include "base/NameCharacters.h"
#include "base/Paths.h"
#include "payload/LibraryFormat.h"

namespace {

// Appends count characters to a zero-terminated text in a buffer of size
// bytes; false, with the text unchanged, when they do not fit.
bool Append(char* text, std::size_t size, const char* characters, std::size_t count) {
  const std::size_t used = std::strlen(text);
  if (used + count + 1 > size) return false;
  std::memcpy(text + used, characters, count);
  text[used + count] = '\0';
  return true;
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
  const long at = std::ftell(file);
  if (at >= 0 && at == offset) return true;  // a seek would throw the stream's buffer away
  return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
}

}  // namespace

bool ForEachEntryDirectory(const char* directory, const char* name, unsigned codePage,
                           void (*create)(const char* path, void* context), void* context) {
  char prefix[ENTRY_DIRECTORY_BUFFER] = "";
  char path[ENTRY_DIRECTORY_BUFFER];
  const std::size_t length = std::strlen(name);
  std::size_t start = 0;
  for (std::size_t i = FindNameSeparator(codePage, name, length); i < length;
       i = start + FindNameSeparator(codePage, name + start, length - start)) {
    if (prefix[0] != '\0' && !Append(prefix, sizeof prefix, "\\", 1)) return false;
    if (!Append(prefix, sizeof prefix, name + start, i - start)) return false;
    if (!FormatText(path, sizeof path, "%s\\%s", directory, prefix)) return false;
    create(path, context);
    start = i + 1;
  }
  return true;
}

bool WriteEntryFile(std::FILE* archive, std::int64_t dataOffset, std::int32_t size, const char* directory,
                    const char* name, unsigned char* buffer) {
  char path[PATH_BUFFER];
  if (!FormatText(path, sizeof path, "%s\\%s", directory, name)) return false;
  if (size < 0 || !SeekTo(archive, dataOffset)) return false;

  std::FILE* output = std::fopen(path, "wb");
  if (output == nullptr) return false;
  bool whole = true;
  std::int32_t remainder = size;
  while (whole && remainder > 0) {
    const int chunk = remainder >= TRANSFER_CHUNK ? TRANSFER_CHUNK : static_cast<int>(remainder);
    const auto count = static_cast<std::size_t>(chunk);
    whole = std::fread(buffer, 1, count, archive) == count;
    if (whole) {
      DescrambleData(buffer, chunk);
      whole = std::fwrite(buffer, 1, count, output) == count;
    }
    remainder -= chunk;
  }
  // A full disk may show itself only when the last buffered bytes go out.
  if (std::fclose(output) != 0) whole = false;
  if (!whole) std::remove(path);
  return whole;
}
