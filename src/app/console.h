// Console services of the monitor: formatted output and single key presses.
// Each platform implements them in its own folder.
#pragma once

// printf-style output to standard output, the same on every platform
// (console_output.cpp).  On a terminal the whole text is written out before
// the call returns; to a file or pipe it is held and written out in blocks,
// at the end of the run and, on POSIX, also when a signal ends the process.
// Failures are ignored: no caller looks at the outcome.
void PrintText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// True when a key press is waiting.  Never waits and consumes no key.
bool IsKeyWaiting();

// One key press without echo: 1..255 for a key that gives a character
// (Enter 13, Space 32, Escape 27), 0 or 224 for the first code of a key
// that gives none (the second code is held for the next call), -1 when the
// console cannot be read.
int ReadKey();

// Makes the console ready for the whole run, first thing, before the port
// is opened: on POSIX standard descriptors 0-2 taken (/dev/null for a
// closed one) and the handlers of the ending signals installed; output
// buffering chosen; keys taken one at a time without echo.
void PrepareConsole();

// Puts the console back exactly as PrepareConsole found it and writes out
// what is still buffered.  Safe to call more than once.
void RestoreConsole();
