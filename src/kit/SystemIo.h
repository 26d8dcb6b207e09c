// The kit builder's few calls that differ between the build machines.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

// Opens an existing file for binary reading, whatever characters its path holds.
std::FILE* OpenForReading(const std::filesystem::path& path);

// Text of the last C library error, for messages.
std::string SystemError();
