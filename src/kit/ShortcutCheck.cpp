#include "kit/ShortcutCheck.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "integration/ListField.h"
#include "integration/ShortcutLine.h"
#include "integration/ShortcutList.h"
#include "kit/CodePage.h"
#include "kit/NameClash.h"
#include "payload/EntryName.h"

namespace {

constexpr char SEPARATOR = ',';
constexpr char END_OF_FILE_MARK = 0x1A;
// Every path below the installation directory that the archive creates: the
// entries' files and the directories their names imply.
std::set<std::string> InstalledPaths(const std::vector<std::string>& entryNames, const CodePage& codePage) {
  std::set<std::string> paths;
  for (const std::string& name : entryNames) {
    std::vector<std::string> components = FoldedComponents(codePage, name);
    if (components.size() > 1 && components[0].empty()) components.erase(components.begin());
    for (std::size_t count = 1; count <= components.size(); ++count) paths.insert(PathKey(components, count));
  }
  return paths;
}

// The list as the installer's text-mode reads see it: CR LF becomes a
// newline, and a Ctrl+Z ends the file. Sets markLine to the line of the
// mark when anything but line ends follows it, 0 otherwise.
std::string AsTextModeReadsIt(const std::vector<std::uint8_t>& list, std::size_t& markLine) {
  std::string text;
  markLine = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const char c = static_cast<char>(list[i]);
    if (c == END_OF_FILE_MARK) {
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        if (list[j] != '\r' && list[j] != '\n' && list[j] != END_OF_FILE_MARK) {
          markLine = 1;
          for (char k : text) markLine += k == '\n';
          break;
        }
      }
      break;
    }
    if (c == '\r' && i + 1 < list.size() && list[i + 1] == '\n') continue;
    text += c;
  }
  return text;
}

// An installation directory of the given length, for the limits.
std::string DirectoryOfLength(std::size_t length) {
  std::string dir = DEFAULT_INSTALL_DIR;
  dir.resize(length, 'Q');
  return dir;
}

// How the installer's conversion turns out for the line below dir. No short
// form is assumed: the path stands in for it, which is at least as long for
// the names a kit holds.
LineConversion ConvertBelow(const std::string& line, const std::string& dir) {
  char* converted = nullptr;
  LineConversion status = ConvertShortcutLine(line.c_str(), dir.c_str(), nullptr, &converted);
  std::free(converted);
  return status;
}

class ListChecker {
 public:
  // installsUpTo: the longest installation directory below which every
  // entry of the kit still fits the installer's paths.
  ListChecker(const std::set<std::string>& installed, std::size_t installsUpTo, const CodePage& codePage,
              ShortcutListCheck& check)
      : installed_(installed), installsUpTo_(installsUpTo), codePage_(codePage), check_(check) {}

  // One item line, read whole (it fits one piece), by the installer's rules.
  void CheckItemLine(const std::string& line, std::size_t number) {
    ++check_.itemLines;
    where_ = "line " + std::to_string(number);
    if (line.find('\0') != std::string::npos) {
      Problem(": holds a NUL character; the installer reads the line only up to it");
      return;
    }
    ListFieldSpan first{};
    ListFieldSpan second{};
    ListFieldSpan third{};
    const bool hasFirst = FindListField(line.c_str() + 1, SEPARATOR, 1, first);
    const bool hasSecond = FindListField(line.c_str(), SEPARATOR, 2, second);
    const bool hasThird = FindListField(line.c_str(), SEPARATOR, 3, third);
    if (!hasFirst || !hasSecond || !hasThird) {
      Problem(std::string(": has ") +
              (!hasFirst    ? "no field"
               : !hasSecond ? "only one field"
                            : "only two fields") +
              "; an item line has three, separated by commas: name, path, path");
      return;
    }
    if (line.size() > 1 && line[1] == SEPARATOR) {
      Note(", first field: empty; the installer takes the text up to the second comma as the name");
    }
    CheckSecondField(second);
    CheckThirdField(third);
    CheckLimits(line);
  }

  void CheckLongLine(std::size_t number, bool itemLine) {
    where_ = "line " + std::to_string(number);
    Problem(itemLine ? ": longer than 499 characters; the installer converts only its first 499 and takes the rest "
                       "as a line of its own"
                     : ": longer than 499 characters, and at character " + std::to_string(LIST_READ_LIMIT) +
                           " or later a piece that the installer reads as a line of its own begins with \"(\"");
  }

  void NoteIndentedItem(std::size_t number) {
    where_ = "line " + std::to_string(number);
    Note(
        ": \"(\" after a blank; only a \"(\" in the very first position makes a shortcut, so the installer copies "
        "this line as it is");
  }

  void NoteMark(std::size_t number) {
    where_ = "line " + std::to_string(number);
    Note(": a Ctrl+Z (0x1A) ends the list for the installer; nothing after it becomes a shortcut");
  }

 private:
  void Problem(const std::string& what) { check_.problems.push_back(where_ + what); }
  void Note(const std::string& what) { check_.notes.push_back(where_ + what); }

  std::string Shown(const ListFieldSpan& field) const {
    return codePage_.Display(std::string(field.start, field.length));
  }
  std::string Quoted(const ListFieldSpan& field) const { return "\"" + Shown(field) + "\""; }

  // The path a field names below the installation directory, folded, when
  // it begins with the backslash that the join needs.
  bool Relative(const ListFieldSpan& field, std::string& path) const {
    if (field.length == 0 || field.start[0] != '\\') return false;
    // A backslash at the end names the directory itself; in the double-byte
    // code pages the last byte may be the second of a character instead.
    std::vector<std::string> components = FoldedComponents(codePage_, std::string(field.start + 1, field.length - 1));
    if (components.size() > 1 && components.back().empty()) components.pop_back();
    path = PathKey(components, components.size());
    return true;
  }

  void CheckSecondField(const ListFieldSpan& field) {
    std::string path;
    if (!Relative(field, path)) {
      Problem(", second field: " + Quoted(field) + " does not begin with a backslash, so the installer would make it " +
              DEFAULT_INSTALL_DIR + Shown(field));
    } else if (!path.empty() && installed_.count(path) == 0) {
      Problem(", second field: " + Quoted(field) + " is not a file or directory that the kit installs");
    }
  }

  // The third field may be empty, which means the installation directory.
  void CheckThirdField(const ListFieldSpan& field) {
    if (field.length == 0) return;
    std::string path;
    if (!Relative(field, path)) {
      Note(", third field: " + Quoted(field) + " does not begin with a backslash, so the installer would make it " +
           DEFAULT_INSTALL_DIR + Shown(field));
    } else if (!path.empty() && installed_.count(path) == 0) {
      Note(", third field: " + Quoted(field) + " is not a file or directory that the kit installs");
    }
  }

  void CheckLimits(const std::string& line) {
    const std::string offered = DEFAULT_INSTALL_DIR;
    const LineConversion status = ConvertBelow(line, offered);
    if (status != LineConversion::Converted) {
      Problem(Overflow(status) + " below " + offered);
      return;
    }
    // Only a directory below which the kit itself installs is of interest:
    // past that the installation fails before any shortcut is made.
    if (installsUpTo_ <= offered.size() ||
        ConvertBelow(line, DirectoryOfLength(installsUpTo_)) == LineConversion::Converted) {
      return;
    }
    // The longest directory that still fits: the converted line grows with
    // the directory.
    std::size_t fits = offered.size();
    std::size_t fails = installsUpTo_;
    while (fails - fits > 1) {
      const std::size_t middle = fits + (fails - fits) / 2;
      (ConvertBelow(line, DirectoryOfLength(middle)) == LineConversion::Converted ? fits : fails) = middle;
    }
    Note(Overflow(ConvertBelow(line, DirectoryOfLength(fails))) + " below an installation directory of more than " +
         std::to_string(fits) + " characters; the kit installs below one of up to " + std::to_string(installsUpTo_) +
         ", but the installer leaves this shortcut out there");
  }

  static std::string Overflow(LineConversion status) {
    switch (status) {
      case LineConversion::SecondPathTooLong: return ", second field: the path is longer than 259 characters";
      case LineConversion::ThirdPathTooLong: return ", third field: the path is longer than 259 characters";
      default: return ": the converted line is longer than 1023 characters";
    }
  }

  const std::set<std::string>& installed_;
  const std::size_t installsUpTo_;
  const CodePage& codePage_;
  ShortcutListCheck& check_;
  std::string where_;
};

}  // namespace

bool CheckShortcutList(const std::vector<std::uint8_t>& list, const std::vector<std::string>& entryNames,
                       const CodePage& codePage, ShortcutListCheck& check) {
  const std::set<std::string> installed = InstalledPaths(entryNames, codePage);
  // The installation directory is created by the platform, which creates
  // none longer than DIRECTORY_PATH_LIMIT, and every entry's file and
  // directories must fit below it.
  long longest = static_cast<long>(DIRECTORY_PATH_LIMIT);
  for (const std::string& name : entryNames) {
    longest = std::min(longest, LongestDirectoryFor(name.c_str(), codePage.Number()));
  }
  const std::size_t installsUpTo = longest < 0 ? 0 : static_cast<std::size_t>(longest);
  ListChecker checker(installed, installsUpTo, codePage, check);
  std::size_t markLine = 0;
  const std::string text = AsTextModeReadsIt(list, markLine);

  // Pieces as the installer reads them; a line is the run of pieces up to
  // one that ends with a newline.
  std::size_t lineNumber = 1;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t lineStart = at;
    std::size_t first = ListPieceLength(text.data() + at, text.size() - at);
    at += first;
    bool laterItemPiece = false;
    while (at < text.size() && text[at - 1] != '\n') {
      laterItemPiece = laterItemPiece || text[at] == '(';
      at += ListPieceLength(text.data() + at, text.size() - at);
    }
    const bool itemLine = text[lineStart] == '(';
    // A line of exactly 499 characters leaves only its line end for a piece
    // of its own, which the installer copies as an empty line: harmless.
    const bool onlyLineEndLeft = at - lineStart == first + 1 && text[at - 1] == '\n';
    if (at - lineStart > first && !onlyLineEndLeft) {
      if (itemLine || laterItemPiece) checker.CheckLongLine(lineNumber, itemLine);
    } else if (itemLine) {
      checker.CheckItemLine(text.substr(lineStart, first), lineNumber);
    } else {
      const std::size_t blanks = text.find_first_not_of(" \t", lineStart);
      if (blanks != lineStart && blanks < at && text[blanks] == '(') checker.NoteIndentedItem(lineNumber);
    }
    ++lineNumber;
  }
  if (markLine != 0) checker.NoteMark(markLine);
  return check.problems.empty();
}
