// The field walk over a line of the shortcut list: fields separated by one
// character, with no quoting and no escapes.
#pragma once
#include <cstddef>

// Where a field lies within its text. The text is not copied: start points
// into it, and a line end that closes the field is not counted in length.
struct ListFieldSpan {
  const char* start;
  std::size_t length;
};

// Finds field n (counted from 1) of the terminated text. False when there is
// no such field: the text is empty, or it has fewer separators than field n
// needs. The walk keeps the list's own odd rules:
//   - field 1 starts at the first character, or at the second when the first
//     is the separator;
//   - for field 2 and later the first character is never counted as a
//     separator, and the field starts right after the (n - 1)-th separator
//     that follows it;
//   - the character a field starts with belongs to it whatever it is, so a
//     field that starts at a separator (two in a row) holds that separator
//     and runs to the next one; only a field that starts at the end of the
//     text is empty;
//   - a newline as the field's last character is dropped.
bool FindListField(const char* text, char separator, int n, ListFieldSpan& field);

// The same field copied into a new heap buffer, terminated, which the caller
// releases with free(). Null when there is no field or no buffer.
char* GetListField(const char* text, char separator, int n);
