// The texts that lie beside SETUP.EXE on a medium, which it shows or reads in
// the ANSI code page: read from the kit, converted into the code page, and
// the shortcut list checked against the entries it will be installed with.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CodePage;

// The medium's files, by name.
constexpr const char* MEDIUM_TEXT_FILES[] = {"LICENSE.TXT", "README.TXT", "SHELLINK.DAT"};
constexpr std::size_t MEDIUM_TEXT_COUNT = 3;
constexpr std::size_t MEDIUM_SHORTCUT_LIST = 2;  // SHELLINK.DAT among the texts
constexpr char MEDIUM_PAYLOAD[] = "DATA.CMP";
constexpr char MEDIUM_SETUP[] = "SETUP.EXE";

struct MediumTexts {
  std::vector<std::uint8_t> bytes[MEDIUM_TEXT_COUNT];  // in the order of MEDIUM_TEXT_FILES
  std::string reports[MEDIUM_TEXT_COUNT];              // for each, whether it was converted or copied
};

// Reads the three texts from the folder. With a code page, each is converted
// into it when it is UTF-8 with characters past ASCII (a byte-order mark
// dropped) and kept as it is otherwise, the report saying which; without
// one, each is kept as it is. False, with a message naming the file, when
// one is missing or has a character the code page lacks.
bool ReadMediumTexts(const std::filesystem::path& folder, const CodePage* codePage, MediumTexts& texts,
                     std::string& error);

// Checks the shortcut list at path against the names of the entries it will
// be installed with, and prints its notes and problems, naming the list.
// True when it has no problem.
bool ShortcutListHolds(const std::filesystem::path& path, const std::vector<std::uint8_t>& list,
                       const std::vector<std::string>& entryNames, const CodePage& codePage, std::size_t& itemLines);
