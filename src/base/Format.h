// Bounded formatting into fixed buffers.
#pragma once
#include <cstddef>

// Formats into buffer, which holds size bytes, the way printf does. True when
// the whole text and its terminating NUL fit; otherwise false, and the buffer
// holds as much of the text as fits, terminated. SETUP.EXE formats through
// the system's C library (msvcrt), whose bounded formatter neither
// terminates a text that fills the buffer nor tells its length then: this is
// where both are made good, so every caller gets one rule.
bool FormatText(char* buffer, std::size_t size, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
