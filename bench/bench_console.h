// The console services for the monitor loop's benchmark: output into a
// sink instead of a terminal, and a keyboard that presses a quit key after
// a set number of reads, so that one RunMonitor call handles a known amount
// of input and returns.
#pragma once

#include <cstdio>

// Where PrintText puts its text: through a FILE (fully buffered, as irtick
// writes to a file or pipe) when benchOutputFile is set, otherwise with one
// write() per print on benchOutputFd (as irtick writes to a terminal).
extern FILE* benchOutputFile;
extern int benchOutputFd;

// Keyboard polls until the quit key is waiting: IsKeyWaiting gives true at
// the poll that brings this to 0, and ReadKey then gives the quit key.
extern long benchPollsBeforeQuit;
