// A setup medium's files written from a kit folder: DATA.CMP packed and
// compressed from the kit's files/ tree as it is read, LICENSE.TXT,
// README.TXT and SHELLINK.DAT in the code page, and SETUP.EXE. Each goes out
// under a temporary name beside its final one; medium commits them all at the
// end, image writes them into a CD image and drops them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "kit/MediumTexts.h"
#include "kit/OutputFile.h"
#include "kit/PayloadWriter.h"
#include "kit/TreeWalk.h"

class CodePage;

struct MediumFile {
  std::string name;  // on the medium: DATA.CMP, LICENSE.TXT, ...
  std::unique_ptr<OutputFile> output;
};

struct Medium {
  std::vector<MediumFile> files;  // DATA.CMP first
  std::size_t entries = 0;
  PayloadFigures payload;
  std::vector<std::string> textReports;  // for each text, whether it was converted or copied
};

// The program that goes on a medium as SETUP.EXE: a file the kit's author
// named, copied a piece at a time, or else the bytes kitpack carries.
struct SetupProgram {
  std::filesystem::path file;
  std::vector<std::uint8_t> bytes;
};

// What a medium is made of, read and checked before anything is written.
struct MediumSource {
  MediumTexts texts;
  SetupProgram setup;
  std::vector<TreeFile> files;
};

// Reads the texts and the tree from the kit folder and checks them with
// SETUP.EXE: the texts convert, a named setup program is a Windows program,
// the tree packs, and the shortcut list holds against it. Prints every
// problem; false when there is one.
bool ReadMedium(const std::filesystem::path& kit, const SetupProgram& setup, const CodePage& codePage,
                MediumSource& source);

// Writes the medium's files into the folder, the payload checked by
// expanding it again. Prints every problem, naming the payload as
// payloadName; false when there is one.
bool WriteMedium(const MediumSource& source, const std::filesystem::path& folder, const std::string& payloadName,
                 const CodePage& codePage, unsigned jobs, Medium& medium);

// Renames every file of the medium into place. False with a message.
bool CommitMedium(Medium& medium, std::string& error);
