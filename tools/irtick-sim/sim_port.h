// The port that irtick-sim sends into: a new pseudo-terminal, or the device
// that --port names.
#pragma once

#include <cstdint>
#include <string>

#include "sim_script.h"

struct SimPort {
    int writeFd = -1;   // the bytes go here: the pseudo-terminal's master, or the device
    int heldFd = -1;    // the pseudo-terminal's port side, held open; -1 with --port
    std::string path;   // the port side's path (the --port path as given)
};

// Without --port: makes a pseudo-terminal pair, opens its port side and
// holds it open, raw, so that bytes sent before the reader opens the port
// wait there untranslated.  With --port: opens that path for writing and
// makes it raw at 57600 baud if it is a terminal.  The descriptor written
// to is non-blocking.  0 on success; otherwise nonzero with *message set.
int32_t OpenSimPort(const SimOptions& options, SimPort* port, std::string* message);

// Closes what OpenSimPort opened.  Closing a pseudo-terminal's master hangs
// its port side up: what the reader has not read by then is lost.
void CloseSimPort(SimPort* port);

// Bytes sent into the pseudo-terminal that nobody has read yet; 0 with
// --port.
int32_t UnreadPortBytes(const SimPort& port);
