// What the serial calls of the POSIX layer share: the record behind a
// HANDLE, the error of the last failed call, and the modem-line request
// that both the line settings and EscapeCommFunction make.  Internal to
// serial_*.cpp; callers see only serial_api.h.
#pragma once

#include "serial_api.h"

// A HANDLE points to one of these, made by CreateFileA and freed by
// CloseHandle.  Linux has no per-descriptor read time-outs, so
// SetCommTimeouts keeps them here and ReadFile applies them.
struct SerialHandle {
    int fd;
    // The descriptor refers to a terminal: the line calls apply, and a
    // read() of 0 bytes is not end of file by itself.
    bool isTerminal;
    // TIOCEXCL was set on open and must be taken back on close.
    bool heldExclusive;
    COMMTIMEOUTS timeouts;
};

// Records `error` as the last error of this thread; gives FALSE.
BOOL FailWith(int error);

// The record behind a handle, or null (and EBADF recorded) for the two
// values that never name an open handle.
SerialHandle* HandleRecord(HANDLE handle);

// Raises (TIOCMBIS) or lowers (TIOCMBIC) the TIOCM_* `lines` in one
// request, so that they change together.  TRUE, or FALSE with the errno.
BOOL ChangeModemLines(const SerialHandle& port, unsigned long request, int lines);
