// Case in ASCII alone, for names whose every character the platform folds
// the same in any code page: device names, the archive's own name, the 8.3
// names of a CD image.
#pragma once

constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
