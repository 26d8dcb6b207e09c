// The one path by which the program stops on an error.
#pragma once

// Every fatal message of the program.
#define FATAL_TEXT_FILE "Unable to locate required text file"
#define FATAL_OUT_OF_MEMORY "Out of memory"
#define FATAL_MODELESS_DIALOG "Cannot create modeless dialog."
#define FATAL_DECOMPRESS_BUFFER "Out of Memory (Decompress Buffer)"
#define FATAL_DECOMPRESSION "Problem on decompression"
#define FATAL_OPEN_LIBRARY "Cannot open uncompressed library."
#define FATAL_EXTRACT_FILE "Cannot extract file"
#define FATAL_SHORTCUT_LIST "Cannot create shortcuts (missing data file)"
#define FATAL_SHORTCUT_INI "Cannot create shortcuts (unable to write temporary file)"
// Formats: a system DLL that cannot be loaded, by its file name; a function
// that it lacks, by the function's name and then the DLL's.
#define FATAL_SYSTEM_LIBRARY "Cannot load system library %s"
#define FATAL_SYSTEM_FUNCTION "Cannot find %s in system library %s"

// Shows the message in a "Fatal Error" box, repaints the desktop and ends
// the process with exit code 0.
[[noreturn]] void ReportFatal(const char* message);
