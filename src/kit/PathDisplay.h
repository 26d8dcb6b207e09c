// Paths and names as kitpack's messages show them. A message that names a
// file must never fail to be made: on Windows a file name is UTF-16 and may
// hold what no other encoding can (an unpaired surrogate), which the C++
// library's conversions refuse by throwing. Such a name is shown by its code
// units instead.
#pragma once
#include <filesystem>
#include <string>

// The path for a message: on Windows in UTF-8, every unpaired surrogate
// written as \uXXXX; elsewhere its bytes as they are.
std::string DisplayPath(const std::filesystem::path& path);

// UTF-16 code units in UTF-8, every unpaired surrogate written as \uXXXX
// (upper-case hex), so that the name is shown without being converted.
std::string DisplayUtf16(const std::u16string& units);
