#include "integration/ListField.h"

#include <cstdlib>
#include <cstring>

bool FindListField(const char* text, char separator, int n, ListFieldSpan& field) {
  if (n < 1 || text[0] == '\0') return false;

  const char* start = text;
  if (n == 1) {
    if (text[0] == separator) start = text + 1;
  } else {
    // The count starts at the second character: a separator in the first
    // position never opens field 2.
    int seen = 0;
    const char* at = text + 1;
    while (*at != '\0' && !(*at == separator && ++seen == n - 1)) ++at;
    if (*at == '\0') return false;
    start = at + 1;
  }

  const char* end = start;
  if (*end != '\0') {
    ++end;  // the first character is the field's, even when it is a separator
    while (*end != '\0' && *end != separator) ++end;
  }
  std::size_t length = static_cast<std::size_t>(end - start);
  if (length > 0 && start[length - 1] == '\n') --length;
  field = {start, length};
  return true;
}

char* GetListField(const char* text, char separator, int n) {
  ListFieldSpan field;
  if (!FindListField(text, separator, n, field)) return nullptr;
  char* copy = static_cast<char*>(std::malloc(field.length + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, field.start, field.length);
  copy[field.length] = '\0';
  return copy;
}
