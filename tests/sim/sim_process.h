// Runs the built irtick-sim from a test: its standard output and error on
// pipes, its port side opened like a reader does.  Every wait has a
// deadline, and a run that outlives it is killed, so a test never hangs.
#pragma once

#include "deadline.h"

#include <sys/types.h>

#include <string>
#include <vector>

struct SimRun {
    pid_t pid = -1;
    int outputFd = -1;   // its standard output
    int errorFd = -1;    // its standard error
    std::string output;  // read from outputFd so far
    std::string errors;  // read from errorFd so far
    bool ended = false;
    int waitStatus = 0;
};

// Starts the built irtick-sim with these arguments (after the program
// name), standard input from /dev/null.  0 on success.
int StartSim(const std::vector<std::string>& arguments, SimRun* run);

// The first line of its standard output, without the line break; false if
// none came in time.
bool ReadSimFirstLine(SimRun* run, std::string* line, int timeoutMs);

// Waits for it to end, reading its output meanwhile; false if it still
// runs at the deadline (it is left running: StopSim kills it).
bool WaitForSimExit(SimRun* run, int timeoutMs);

// Kills it if it still runs, reaps it and closes the pipes.  Safe to call
// more than once.
void StopSim(SimRun* run);

// "exited with 0", "killed by signal 9", "still running".
std::string DescribeSimEnd(const SimRun& run);

// Opens a port side for reading, as irtick does: no controlling terminal,
// non-blocking, close-on-exec.  -1 on failure.
int OpenPortForReading(const std::string& path);

// Reads from fd until `count` bytes have come, the port has hung up or the
// time is over; appends what came to *bytes and the arrival time of each
// byte (MonotonicMilliseconds) to *arrivals if given.
void ReadPortBytes(int fd, size_t count, int timeoutMs, std::string* bytes,
                   std::vector<long long>* arrivals = nullptr);

