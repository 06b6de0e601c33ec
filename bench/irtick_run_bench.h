// The built irtick, run as a user runs it: a pseudo-terminal as its
// controlling terminal and another as its port.
#pragma once

#include <string>
#include <vector>

#include "pty_harness.h"

// A port, and irtick started on it with the given options; both are
// stopped and closed by EndRun whatever happened in between.
struct BenchRun {
    PtyPair port;
    IrtickRun irtick;
};

// Starts irtick and waits until its loop shows a byte; "" or what failed.
std::string StartRun(const std::vector<std::string>& options, BenchRun* run);
void EndRun(BenchRun* run);
// Types the quit key and waits for the exit; "" or what went wrong.
std::string QuitRun(BenchRun* run);

void RegisterIrtickRunBenchmarks();
