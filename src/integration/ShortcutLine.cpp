#include "integration/ShortcutLine.h"

#include <cstdlib>
#include <memory>

#include "base/Format.h"
#include "base/Scoped.h"
#include "integration/ListField.h"

namespace {

constexpr char SEPARATOR = ',';

// The field, or empty text in its place when the line has no such field.
ListFieldSpan FieldOrEmpty(const char* text, int n) {
  ListFieldSpan field;
  if (!FindListField(text, SEPARATOR, n, field)) field = {"", 0};
  return field;
}

// installDir followed directly by the field; false when that does not fit.
bool JoinPath(char (&path)[PATH_BUFFER], const char* installDir, const ListFieldSpan& field) {
  if (field.length >= PATH_BUFFER) return false;
  return FormatText(path, sizeof path, "%s%.*s", installDir, static_cast<int>(field.length), field.start);
}

}  // namespace

LineConversion ConvertShortcutLine(const char* line, const char* installDir, ShortPathLookup lookup, char** converted) {
  *converted = nullptr;
  if (line[0] != '(') return LineConversion::Copied;

  // The first field is taken from the text after the "(", the other two from
  // the whole line: the walk never counts its first character, the "(".
  const ListFieldSpan first = FieldOrEmpty(line + 1, 1);
  const ListFieldSpan second = FieldOrEmpty(line, 2);
  const ListFieldSpan third = FieldOrEmpty(line, 3);

  char secondPath[PATH_BUFFER];
  char thirdPath[PATH_BUFFER];
  if (!JoinPath(secondPath, installDir, second)) return LineConversion::SecondPathTooLong;
  if (!JoinPath(thirdPath, installDir, third)) return LineConversion::ThirdPathTooLong;
  if (first.length >= SHORTCUT_LINE_SIZE) return LineConversion::LineTooLong;

  char shortForm[PATH_BUFFER];
  const char* position2 = secondPath;
  if (lookup != nullptr && lookup(secondPath, shortForm, sizeof shortForm)) position2 = shortForm;

  HeapBlock<char> result(static_cast<char*>(std::malloc(SHORTCUT_LINE_SIZE)));
  if (!result) return LineConversion::OutOfMemory;
  if (!FormatText(result.get(), SHORTCUT_LINE_SIZE, "\"%.*s\",\"%s\",\"%s\",,,\"%s\"\n", static_cast<int>(first.length),
                  first.start, position2, secondPath, thirdPath)) {
    return LineConversion::LineTooLong;
  }
  *converted = result.release();
  return LineConversion::Converted;
}
