#include "integration/BatchFile.h"

#include <memory>

#include "base/Scoped.h"

namespace {

constexpr unsigned char END_OF_FILE_MARK = 0x1A;

}  // namespace

BatchFileEnd InspectBatchFile(const char* path) {
  BatchFileEnd end;
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return end;

  // One pass in chunks: where the first mark stands, whether anything but
  // marks follows it, and the last byte before it (or of the file).
  bool marked = false;
  std::uint64_t markAt = 0;
  int lastKept = -1;
  unsigned char chunk[BATCH_READ_CHUNK];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    for (std::size_t i = 0; i < got; ++i) {
      if (!marked && chunk[i] == END_OF_FILE_MARK) {
        marked = true;
        markAt = end.length + i;
      } else if (!marked) {
        lastKept = chunk[i];
      } else if (chunk[i] != END_OF_FILE_MARK) {
        end.textAfterMark = true;
      }
    }
    end.length += got;
  }
  if (std::ferror(file.get())) return BatchFileEnd{};

  end.read = true;
  end.keepLength = marked ? markAt : end.length;
  end.needsLineEnd = lastKept != -1 && lastKept != '\n';
  return end;
}

bool WriteCompilerSettings(std::FILE* batch, const char* installDir, bool lineEndFirst) {
  if (lineEndFirst && std::fputs("\n", batch) < 0) return false;
  // Written piece by piece rather than formatted: the directory is text,
  // never a format, and its length needs no bound.
  return std::fputs("SET WCC386=%WCC386% /zp1\n", batch) >= 0 && std::fputs("SET CL=%CL% /Zp1\n", batch) >= 0 &&
         std::fputs("SET INCLUDE=%INCLUDE%;", batch) >= 0 && std::fputs(installDir, batch) >= 0 &&
         std::fputs("\n", batch) >= 0;
}
