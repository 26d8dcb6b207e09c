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

// The rule by which FormatText judges what its formatter did with a buffer of
// size bytes (size > 0), given what the formatter returned: msvcrt's
// _vsnprintf gives the text's length when the text fits, terminated or (when
// it fills the buffer exactly) not, and -1 when it is longer; C99's
// vsnprintf gives the whole text's length and always terminates. True when
// the text and its NUL are in the buffer; otherwise the buffer is terminated
// at its last byte and the result is false.
bool FinishFormatted(char* buffer, std::size_t size, int length);
