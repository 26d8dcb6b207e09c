// The platform's LZ expansion library, taken from the system directory by
// its full path (see base/SystemLibrary.h).
#pragma once
#include <windows.h>
// lzexpand.h needs the types of windows.h first.
#include <lzexpand.h>

#include "base/Scoped.h"

// The library's functions that the expansion calls, with their own types.
struct Lz32Functions {
  decltype(&LZInit) init;
  decltype(&LZRead) read;
  decltype(&LZClose) close;
};

// The functions, the library loaded on first use. A library or function that
// cannot be had ends the run through ReportFatal, naming it.
const Lz32Functions& Lz32();

struct Lz32Traits {
  static void Close(INT handle) { Lz32().close(handle); }
};
// An expansion handle from Lz32().init, which closes the file under it too.
using Lz32Handle = ScopedHandle<Lz32Traits>;
