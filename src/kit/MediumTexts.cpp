#include "kit/MediumTexts.h"

#include <algorithm>

#include "kit/CodePage.h"
#include "kit/CommandOutput.h"
#include "kit/KitFiles.h"
#include "kit/PathDisplay.h"
#include "kit/ShortcutCheck.h"

namespace {

// One text in the code page: UTF-8 with characters past ASCII is converted
// (a byte-order mark dropped); plain ASCII, and anything that is not UTF-8
// and so taken to be in the code page already, stay as they are. False,
// naming the file and the place, when a character has no place in the code
// page.
bool TextInCodePage(const std::filesystem::path& path, const CodePage& codePage, std::vector<std::uint8_t>& bytes,
                    std::string& report, std::string& error) {
  const std::string page = "code page " + std::to_string(codePage.Number());
  std::string text(bytes.begin(), bytes.end());
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    report = DisplayPath(path) + ": plain ASCII, copied as it is";
    return true;
  }
  static const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";
  const bool marked = text.compare(0, 3, BYTE_ORDER_MARK) == 0;
  if (!marked && !codePage.IsUtf8(text)) {
    report = DisplayPath(path) + ": not UTF-8, copied as it is (taken to be in " + page + " already)";
    return true;
  }
  std::string converted;
  std::string problem;
  if (!codePage.TextFromUtf8(marked ? text.substr(3) : text, converted, problem)) {
    error = DisplayPath(path) + ": " + problem;
    return false;
  }
  bytes.assign(converted.begin(), converted.end());
  report = DisplayPath(path) + ": converted from UTF-8 into " + page + (marked ? ", its byte-order mark dropped" : "");
  return true;
}

}  // namespace

bool ReadMediumTexts(const std::filesystem::path& folder, const CodePage* codePage, MediumTexts& texts,
                     std::string& error) {
  for (std::size_t i = 0; i < MEDIUM_TEXT_COUNT; ++i) {
    const std::filesystem::path path = folder / MEDIUM_TEXT_FILES[i];
    if (!ReadWholeFile(path, texts.bytes[i], error)) return false;
    if (codePage != nullptr && !TextInCodePage(path, *codePage, texts.bytes[i], texts.reports[i], error)) return false;
  }
  return true;
}

bool ShortcutListHolds(const std::filesystem::path& path, const std::vector<std::uint8_t>& list,
                       const std::vector<std::string>& entryNames, const CodePage& codePage, std::size_t& itemLines) {
  ShortcutListCheck check;
  const bool holds = CheckShortcutList(list, entryNames, codePage, check);
  for (const std::string& note : check.notes) Note(DisplayPath(path) + ": " + note);
  if (!holds) FailWithProblems(DisplayPath(path) + ": ", check.problems);
  itemLines = check.itemLines;
  return holds;
}
