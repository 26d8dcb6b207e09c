// The setup program that kitpack puts on every medium: the shipped SETUP.EXE
// of the same source, built with kitpack and carried inside it, unless the
// kit's author names another file.
#pragma once
#include <filesystem>
#include <string>

#include "kit/MediumFiles.h"

// The setup program for a medium: the named file, or the carried SETUP.EXE
// when named is empty. The named file is checked as the medium is read.
SetupProgram ChooseSetupProgram(const std::filesystem::path& named);

// What --version prints: kitpack's version, and the size and CRC-32 of the
// SETUP.EXE it carries, by which a medium is traced to the kitpack that made
// it.
std::string VersionText();
