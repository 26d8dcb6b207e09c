// The installer's paths: the buffers they are built in, and the directory it
// offers. The kit builder checks a kit against the same values.
#pragma once
#include <cstddef>

// Every path the installer builds lives in a buffer of this many bytes, its
// zero byte included: the platform's own limit for a path.
constexpr std::size_t PATH_BUFFER = 260;

// So the longest path that the installer can build has this many characters.
constexpr std::size_t PATH_LIMIT = PATH_BUFFER - 1;

// The platform creates no directory whose path is longer than this: a
// directory's path must leave room in a buffer of PATH_BUFFER for a file
// name of 8.3 characters and its backslash (12 bytes).
constexpr std::size_t DIRECTORY_PATH_LIMIT = PATH_BUFFER - 12 - 1;

// The installation directory that page 4 offers.
constexpr char DEFAULT_INSTALL_DIR[] = "C:\\QUENV98";
