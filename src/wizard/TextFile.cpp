#include "wizard/TextFile.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/Fatal.h"
#include "base/Scoped.h"

char* LoadTextFile(const char* fileName) {
  FileHandle file(std::fopen(fileName, "rb"));
  if (!file) ReportFatal(FATAL_TEXT_FILE);

  // A size that cannot be told is read as an empty document.
  long size = 0;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
  if (size < 0) size = 0;
  std::rewind(file.get());

  // Room for the NUL, and then some, as the document format has always had.
  char* text = static_cast<char*>(std::malloc(static_cast<std::size_t>(size) + 4));
  if (!text) ReportFatal(FATAL_OUT_OF_MEMORY);

  // The text ends where the read did: a file that shrank or failed part way
  // shows what was read, never the buffer's leftovers.
  std::size_t got = std::fread(text, 1, static_cast<std::size_t>(size), file.get());
  text[got] = '\0';
  return text;
}
