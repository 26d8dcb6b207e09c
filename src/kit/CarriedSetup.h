// The setup program that kitpack puts on every medium: the shipped SETUP.EXE
// of the same source, built with kitpack and carried inside it, unless the
// kit's author names another file.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The setup program for a medium: the named file, or the carried SETUP.EXE
// when named is empty. False, with a message naming the file, when it cannot
// be read or is no Windows program.
bool ReadSetupProgram(const std::filesystem::path& named, std::vector<std::uint8_t>& bytes, std::string& error);

// What --version prints: kitpack's version, and the size and CRC-32 of the
// SETUP.EXE it carries, by which a medium is traced to the kitpack that made
// it.
std::string VersionText();
