// Faults and holds injected into a running SETUP.EXE: an entry of its import
// table is pointed at a few bytes of code of the driver's making. This is how
// the tests reach the failure paths that a healthy machine never takes (a
// dialog that cannot be created, memory that cannot be had) and hold the
// install step while they look at its window. The program and the driver
// are built for the same processor, 32 or 64 bits.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// From now on, calls of the function that the program makes through its
// imports return the value at once. stackArguments is the number of
// arguments that the function takes off the stack itself (a WINAPI
// function's, 0 for the C library's): a 32-bit stand-in must return as the
// real function would.
void FailImport(HANDLE process, const char* dll, const char* function, std::uintptr_t result, int stackArguments);

// From now on, the program's CreateDirectoryA refuses a path longer than
// DIRECTORY_PATH_LIMIT characters, with ERROR_FILENAME_EXCED_RANGE, as
// Windows does; Wine creates such a directory. Shorter paths go to the real
// function.
void RefuseLongDirectories(HANDLE process);

// Holds every call of the imported function until Release(), then lets
// calls through to the real function. A held call gives up waiting after a
// minute, so a program never hangs on a driver that went away. The function
// must take a window as its first argument (SendMessageA, say): before it is
// held, the program paints that window's top-level window, so that a picture
// taken while it waits shows it whole.
class ImportGate {
 public:
  ImportGate(HANDLE process, const char* dll, const char* function);
  ~ImportGate();
  ImportGate(const ImportGate&) = delete;
  ImportGate& operator=(const ImportGate&) = delete;
  // Waits until a call is held; fails after the usual limit, saying what.
  void WaitHeld(const std::string& what);
  void Release();

 private:
  HANDLE event_ = nullptr;
  HANDLE held_ = nullptr;
};
