// Handlers for every signal whose default action ends the process (SIGKILL
// and SIGSTOP cannot be caught; SIGPIPE is ignored for the whole run).
//
// Before the signal's own default action ends the process, the handler puts
// the terminal's settings back (PutTerminalBackOnEnding) and, where that is
// safe, writes out the output held for a file or pipe
// (WriteOutHeldOutputOnEnding).  Then the process ends by the signal as it
// would have: the same exit status, core dump included, and nothing else of
// the program runs, so the receiver is not powered down.  Only
// async-signal-safe calls are made.  A signal that was ignored when the
// handlers were installed stays ignored.
#pragma once

#include <signal.h>

// Installs the handlers; a second call does nothing.
void InstallEndingHandlers();

// Puts back the actions found by InstallEndingHandlers.
void RemoveEndingHandlers();

// Adds the signals handled here to a set.
void AddEndingSignals(sigset_t* signals);
