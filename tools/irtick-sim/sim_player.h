// Plays a script: writes each event at its time into the port, and ends
// early on SIGINT or SIGTERM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim_port.h"
#include "sim_script.h"

enum SimPlayResult : int32_t {
    SimPlayDone = 0,     // everything sent (or the deadline reached)
    SimPlayStopped = 1,  // SIGINT or SIGTERM arrived
    SimPlayFailed = 2,   // the port could not be written; *message says why
};

// Makes SIGINT and SIGTERM requests to stop: from here on they are blocked
// and taken only inside the player's waits, where they end the wait, so no
// signal can slip in between a check and the wait that follows it.  Also
// ignores SIGPIPE (a write error ends the run instead).
void InstallStopSignals();

// The signal that asked the run to stop, or 0.
int StopSignal();

// Waits until the monotonic clock reads `deadlineNanoseconds`
// (MonotonicNanoseconds); SimPlayDone, or SimPlayStopped on a stop signal.
int32_t WaitUntilNanoseconds(int64_t deadlineNanoseconds);

// Writes the events into fd, each at originNanoseconds + its send time, or
// with `fast` one after the other as fast as fd takes them.  fd may be
// non-blocking; a full port is waited for.
int32_t WriteEvents(int fd, const std::vector<SendEvent>& events, int64_t originNanoseconds,
                    bool fast, std::string* message);

// Plays the whole script into the port (again and again with --loop), waits
// until the script's time has run out and, on a pseudo-terminal, until the
// reader has taken every byte (closing it would drop them).
int32_t PlayScript(const SimCommand& command, const SimPort& port, std::string* message);
