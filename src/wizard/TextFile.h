// The licence and information documents shown on pages 2 and 3.
#pragma once

// Reads the named file, relative to the current directory, whole and
// unchanged, into a new heap buffer followed by a NUL; the caller releases it
// with free(). A file that cannot be opened, or a buffer that cannot be had,
// ends the program through ReportFatal.
char* LoadTextFile(const char* fileName);
