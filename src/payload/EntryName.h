// Which entry names may be written out below a target directory. One rule for
// every place that turns an entry name into a file: the installer's
// extraction, the kit builder's writer and its own extraction.
#pragma once

// True when the zero-terminated name stays below the directory it is joined
// to and names an ordinary file there. Both '\' and '/' separate components,
// as they do on Windows. Refused: an empty name or component, a "." or ".."
// component, a colon anywhere (drives, alternate data streams), two leading
// separators (UNC and device namespaces), a component ending in a dot or a
// space, control characters, and a component whose stem (up to its first dot,
// trailing spaces dropped, case ignored) is a DOS device: CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9, COM and LPT with a superscript 1, 2
// or 3. One leading separator is harmless: the name is joined after a
// separator anyway. Callers check this before creating any directory.
bool IsSafeEntryName(const char* name);
