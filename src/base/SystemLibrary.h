// The system's DLLs that the program calls beyond those that every Windows
// protects (kernel32, user32, gdi32, advapi32, msvcrt, its only static
// imports). A DLL named without a path is taken from the program's own folder
// first, so these are loaded by their full path in the system directory, and
// the search for every other DLL is kept to the system directory as far as
// the system allows.
#pragma once
#include <windows.h>

// Keeps the search for DLLs named without a path, the system's own loads on
// the program's behalf included, to the system directory where the system
// can be told so (SetDefaultDllDirectories), or else drops the current
// directory from it (SetDllDirectoryA). Systems without either keep their
// search. Called first thing, before anything can load a DLL.
void RestrictLibrarySearch();

// The function of the named DLL in the system directory, loading the DLL on
// first use; it stays loaded for the rest of the run. A DLL that cannot be
// loaded, or that lacks the function, ends the run through ReportFatal with
// a message naming it.
FARPROC SystemFunction(const char* library, const char* function);

// The address as the function's own type: through the one function type
// that stands for any other, which the compiler takes a cast from without a
// warning.
template <typename Function>
Function FunctionAs(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}
