// The few things irtick-analyze asks of its platform beyond the project's
// receiver port and console units.  One file per platform implements them
// (analyze_terminal_posix.cpp, analyze_terminal_win32.cpp).
#pragma once

#include <cstdint>

// Columns of the terminal standard output goes to; 80 when it is none.
int32_t TerminalColumns();

// Standard input gives the bytes as they are (no text-mode translation).
void SetStandardInputBinary();

// Ctrl+C during a live run: from CatchInterrupt on, it only sets a flag
// that WasInterrupted reports, so that the run can end in order (receiver
// powered down, summary written).  ReleaseInterrupt puts back what was
// there before.  An interrupt that was ignored when CatchInterrupt came
// stays ignored.
void CatchInterrupt();
bool WasInterrupted();
void ReleaseInterrupt();
