#include "integration/ShortcutList.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Scoped.h"

namespace {

constexpr std::size_t PIECE_MAX = LIST_READ_LIMIT - 1;

bool WriteAll(std::FILE* out, const char* bytes, std::size_t length) {
  return std::fwrite(bytes, 1, length, out) == length;
}

}  // namespace

std::size_t ReadListPiece(std::FILE* list, char (&piece)[LIST_READ_LIMIT]) {
  // The way a line reader with a limit of LIST_READ_LIMIT reads, but counting
  // what it read, so that a NUL in the list is written back like any other
  // character.
  std::size_t length = 0;
  int c = 0;
  while (length < PIECE_MAX && (c = std::getc(list)) != EOF) {
    piece[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  piece[length] = '\0';
  return length;
}

std::size_t ListPieceLength(const char* text, std::size_t length) {
  std::size_t piece = 0;
  while (piece < length && piece < PIECE_MAX) {
    if (text[piece++] == '\n') break;
  }
  return piece;
}

ListCopy CopyShortcutList(std::FILE* list, std::FILE* out, const char* installDir, ShortPathLookup lookup,
                          std::size_t& linesLeftOut) {
  linesLeftOut = 0;
  char piece[LIST_READ_LIMIT];
  for (;;) {
    std::size_t length = ReadListPiece(list, piece);
    // A piece cut short by a read error is not written: the list is not
    // what the kit shipped.
    if (std::ferror(list)) return ListCopy::ReadFailed;
    if (length == 0) return ListCopy::Done;

    char* made = nullptr;
    switch (ConvertShortcutLine(piece, installDir, lookup, &made)) {
      case LineConversion::Copied:
        if (!WriteAll(out, piece, length)) return ListCopy::WriteFailed;
        break;
      case LineConversion::Converted: {
        HeapBlock<char> converted(made);
        if (!WriteAll(out, converted.get(), std::strlen(converted.get()))) return ListCopy::WriteFailed;
        break;
      }
      case LineConversion::SecondPathTooLong:
      case LineConversion::ThirdPathTooLong:
      case LineConversion::LineTooLong: ++linesLeftOut; break;
      case LineConversion::OutOfMemory: return ListCopy::OutOfMemory;
    }
  }
}
