#include "base/Format.h"

#include <cstdarg>
#include <cstdio>

bool FinishFormatted(char* buffer, std::size_t size, int length) {
  if (length >= 0 && static_cast<std::size_t>(length) < size) return true;
  buffer[size - 1] = '\0';
  return false;
}

bool FormatText(char* buffer, std::size_t size, const char* format, ...) {
  if (size == 0) return false;
  std::va_list arguments;
  va_start(arguments, format);
#if defined(_WIN32)
  // msvcrt's own: -1 when the text is longer than the buffer, the length
  // without a terminator when it fills the buffer exactly.
  const int length = _vsnprintf(buffer, size, format, arguments);
#else
  const int length = std::vsnprintf(buffer, size, format, arguments);
#endif
  va_end(arguments);
  return FinishFormatted(buffer, size, length);
}
