// Standard output of the console services, the same on every platform:
// PrintText (console.h), the one choice between output written out at once
// and output held, and the buffer that holds it.
//
// On a terminal or console each print is written out before PrintText
// returns.  To a file or pipe the output is held in a fixed buffer of our
// own and written out when the buffer fills and when the console is
// restored, or, by WriteOutHeldOutputOnEnding, from the handler of a
// signal that ends the process, so that nothing printed is lost.
#pragma once

#include <cstddef>

// --- Provided by each platform's console ----------------------------------

// True when standard output is a terminal or console.
bool IsStandardOutputInteractive();

// Writes the whole text to standard output, going on after partial writes;
// a failure ends the attempt silently.  On POSIX async-signal-safe.
void WriteStandardOutput(const char* text, size_t length);

// --- Provided here ----------------------------------------------------------

// How much output is held at most before it is written out.
constexpr size_t kHeldOutputCapacity = 8192;

// Makes the choice once, before the first output; later calls do nothing.
void ChooseOutputMode();

// Writes out or holds text, as chosen (chosen first if not yet).
void PutOutput(const char* text, size_t length);

// Writes out what is held.
void WriteOutHeldOutput();

// The same from a signal handler that ends the process: writes out what is
// held and not yet written, also when the signal came in the middle of a
// print or of WriteOutHeldOutput.  Nothing printed is lost; bytes come out
// twice only when the signal falls in the few instructions between a
// write-out's write and the count it updates.  Async-signal-safe where
// WriteStandardOutput is.
void WriteOutHeldOutputOnEnding();
