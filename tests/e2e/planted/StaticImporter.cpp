// The planted-DLL scenario's control: a program that imports a function of
// each planted DLL by name, the way SETUP.EXE once imported the LZ library
// and the common controls. Copied as SETUP.EXE beside the planted DLLs, under
// the same load order, it must load every one of them, or the scenario's
// finding that SETUP.EXE loads none would prove nothing. It calls none of
// the functions (the planted DLLs have none) and exits with 0 at once.
#include <windows.h>

#include <commctrl.h>
#include <lzexpand.h>
#include <uxtheme.h>

// The addresses are kept where the compiler cannot drop them, so each import
// stays in the import table.
const void* volatile Imported[] = {
    reinterpret_cast<const void*>(&LZClose),
    reinterpret_cast<const void*>(&InitCommonControls),
    reinterpret_cast<const void*>(&IsThemeActive),
    reinterpret_cast<const void*>(&GetFileVersionInfoSizeA),
};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return Imported[0] != nullptr ? 0 : 1; }
