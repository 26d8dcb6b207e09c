// The boot batch file as the compiler settings extend it: what its end needs
// before anything is appended, and the lines that are appended.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// How the batch file ends. The batch interpreter stops reading at the first
// Ctrl+Z (0x1A), the end-of-file mark of old editors, so lines appended
// after one would never run.
struct BatchFileEnd {
  bool read = false;             // the file was read to its end; false when missing or unreadable
  std::uint64_t length = 0;      // its length in bytes
  std::uint64_t keepLength = 0;  // its length without a trailing run of Ctrl+Z
  bool textAfterMark = false;    // a Ctrl+Z has other bytes after it: appending could not make lines run
  bool needsLineEnd = false;     // the text kept is not empty and does not end with a newline
};

// The batch file is read in chunks of this many bytes: small enough for a
// frame of the installer's stack without a stack probe.
constexpr std::size_t BATCH_READ_CHUNK = 2048;

// Reads the file at path in binary and tells how it ends. A file that cannot
// be opened or read gives read false, and is to be appended to as it is.
BatchFileEnd InspectBatchFile(const char* path);

// Writes the three SET lines of the compiler settings to the batch file
// opened for appending as text, after a newline first when lineEndFirst.
// installDir is written as text, never as a format, so a percent sign in it
// stays as it is. False when a write failed.
bool WriteCompilerSettings(std::FILE* batch, const char* installDir, bool lineEndFirst);
