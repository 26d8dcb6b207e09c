// Fuzzes the shortcut list's conversion. The input's first byte gives the
// length of the installation directory, which the bytes after it hold (up
// to a NUL); the rest is the list. Besides surviving it under the
// sanitizers, the conversion must agree with the list's rules as written
// here a second time in another form (fields as the pieces between
// separators), and the copy of the whole list must give exactly the
// conversion of each of its pieces.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "integration/ListField.h"
#include "integration/ShortcutLine.h"
#include "integration/ShortcutList.h"

namespace {

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "the conversion disagrees with the list's rules: %s\n", what);
    std::abort();
  }
}

// A stand-in for the platform: no short form when the path holds an "x";
// otherwise the path in capitals, two characters longer when it holds a "~".
bool FakeShortPath(const char* path, char* shortPath, std::size_t size) {
  std::string form = path;
  if (form.find('x') != std::string::npos) return false;
  for (char& c : form) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (form.find('~') != std::string::npos) form += "~1";
  if (form.size() >= size) return false;
  std::memcpy(shortPath, form.c_str(), form.size() + 1);
  return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// The field that starts at the beginning of rest, given as the pieces of
// rest between separators: a piece, or, where the piece is empty and more
// follow, the separator that ends it and the next piece.
std::string FieldAtStart(const std::vector<std::string>& parts, std::size_t i, char separator) {
  if (!parts[i].empty() || i + 1 == parts.size()) return parts[i];
  return std::string(1, separator) + parts[i + 1];
}

// Field n of the text by the list's rules, from the pieces between
// separators rather than by walking characters.
std::optional<std::string> ExpectedField(const std::string& text, char separator, int n) {
  if (text.empty() || n < 1) return std::nullopt;
  std::string field;
  if (n == 1) {
    if (text[0] == separator) {
      field = FieldAtStart(Split(text.substr(1), separator), 0, separator);
    } else {
      field = Split(text, separator)[0];
    }
  } else {
    // The first character is never a separator that counts: the field
    // starts after separator n - 1 of the rest.
    std::vector<std::string> parts = Split(text.substr(1), separator);
    if (parts.size() < static_cast<std::size_t>(n)) return std::nullopt;
    field = FieldAtStart(parts, static_cast<std::size_t>(n) - 1, separator);
  }
  if (!field.empty() && field.back() == '\n') field.pop_back();
  return field;
}

// What the converter receives for one piece: the piece itself, its
// converted line, or nothing when that would not fit.
std::string ExpectedOutput(const std::string& piece, const std::string& installDir) {
  std::string line = piece.substr(0, piece.find('\0'));
  if (line.empty() || line[0] != '(') return piece;
  std::string first = ExpectedField(line.substr(1), ',', 1).value_or("");
  std::string second = installDir + ExpectedField(line, ',', 2).value_or("");
  std::string third = installDir + ExpectedField(line, ',', 3).value_or("");
  if (second.size() >= PATH_BUFFER || third.size() >= PATH_BUFFER) return "";
  char shortForm[PATH_BUFFER];
  std::string position2 = FakeShortPath(second.c_str(), shortForm, sizeof shortForm) ? shortForm : second;
  std::string converted = "\"" + first + "\",\"" + position2 + "\",\"" + second + "\",,,\"" + third + "\"\n";
  return converted.size() < SHORTCUT_LINE_SIZE ? converted : "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t dirBytes = data[0] < size - 1 ? data[0] : size - 1;
  std::string installDir(reinterpret_cast<const char*>(data + 1), dirBytes);
  installDir = installDir.substr(0, installDir.find('\0'));
  const std::string list(reinterpret_cast<const char*>(data + 1 + dirBytes), size - 1 - dirBytes);

  // The field walk over the first piece, for each field it holds and the
  // first two it does not (up to a bound, so that a piece full of commas does
  // not slow every run down).
  const std::string first = list.substr(0, ListPieceLength(list.data(), list.size()));
  const std::string text = first.substr(0, first.find('\0'));
  int separators = 0;
  for (char c : text) separators += c == ',';
  for (int n = 0; n <= separators + 2 && n <= 40; ++n) {
    char* field = GetListField(text.c_str(), ',', n);
    std::optional<std::string> expected = ExpectedField(text, ',', n);
    Check((field != nullptr) == expected.has_value(), "whether field n exists");
    if (field != nullptr) Check(*expected == field, "the text of field n");
    std::free(field);
  }

  // Each piece on its own, and the expected copy of the whole list.
  std::string expectedCopy;
  std::size_t expectedLeftOut = 0;
  for (std::size_t at = 0; at < list.size();) {
    const std::size_t length = ListPieceLength(list.data() + at, list.size() - at);
    Check(length > 0 && length < LIST_READ_LIMIT, "a piece holds 1 to 499 characters");
    const std::string piece = list.substr(at, length);
    at += length;

    char* converted = nullptr;
    LineConversion status = ConvertShortcutLine(piece.c_str(), installDir.c_str(), FakeShortPath, &converted);
    const std::string expected = ExpectedOutput(piece, installDir);
    switch (status) {
      case LineConversion::Copied: Check(expected == piece, "only a line without \"(\" first is copied"); break;
      case LineConversion::Converted: Check(converted != nullptr && expected == converted, "the converted line"); break;
      case LineConversion::SecondPathTooLong:
      case LineConversion::ThirdPathTooLong:
      case LineConversion::LineTooLong:
        Check(expected.empty(), "only a line that does not fit is refused");
        ++expectedLeftOut;
        break;
      case LineConversion::OutOfMemory: Check(false, "a 1024-byte buffer is always there"); break;
    }
    Check(status == LineConversion::Converted || converted == nullptr, "nothing handed over but a converted line");
    std::free(converted);
    expectedCopy += expected;
  }

  // The whole list through the copy, from one memory stream to another.
  std::FILE* in = fmemopen(const_cast<char*>(list.data()), list.size(), "rb");
  if (in == nullptr) return 0;  // an empty list: nothing to read
  char* outBytes = nullptr;
  std::size_t outSize = 0;
  std::FILE* out = open_memstream(&outBytes, &outSize);
  if (out == nullptr) {
    std::fclose(in);
    return 0;
  }
  std::size_t leftOut = 0;
  ListCopy copied = CopyShortcutList(in, out, installDir.c_str(), FakeShortPath, leftOut);
  std::fclose(in);
  std::fclose(out);
  Check(copied == ListCopy::Done, "a list in memory is copied whole");
  Check(std::string(outBytes, outSize) == expectedCopy, "the copy is the pieces' conversions in order");
  Check(leftOut == expectedLeftOut, "every line that does not fit is counted");
  std::free(outBytes);
  return 0;
}
