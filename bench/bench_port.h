// The receiver's port as the benchmarks open it: through the real serial
// layer, with the line and the read time-outs that irtick sets, but without
// the power-up pause (the benchmarks time reads, not the start).
#pragma once

#include <string>

#include "link/receiver_port.h"

// Opens a pseudo-terminal or a file exclusively with CreateFileA, gives it
// the receiver's line (SetReceiverLine) and read time-outs
// (SetReceiverReadTimeouts).  The handle, or
// INVALID_HANDLE_VALUE.  On a file the line settings fail, which the port
// ignores as irtick does.
HANDLE OpenBenchPort(const std::string& path);
