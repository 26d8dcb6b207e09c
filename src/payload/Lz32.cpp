#include "payload/Lz32.h"

#include "base/SystemLibrary.h"

namespace {

Lz32Functions Functions;  // the library's functions once loaded
bool Loaded;              // whether Functions holds them

}  // namespace

const Lz32Functions& Lz32() {
  if (!Loaded) {
    const char library[] = "LZ32.DLL";
    Functions.init = FunctionAs<decltype(&LZInit)>(SystemFunction(library, "LZInit"));
    Functions.read = FunctionAs<decltype(&LZRead)>(SystemFunction(library, "LZRead"));
    Functions.close = FunctionAs<decltype(&LZClose)>(SystemFunction(library, "LZClose"));
    Loaded = true;
  }
  return Functions;
}
