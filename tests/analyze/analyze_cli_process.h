// Runs a built program from a test with its standard input, output and
// error on pipes.  A run that outlives its deadline is killed, so a test
// never hangs.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
    bool exited = false;  // ended by exit (not killed, not timed out)
    int exitStatus = -1;
    int signalNumber = 0; // the signal that ended it, 0 for none
    bool timedOut = false;
    std::string output;
    std::string errors;
};

// Runs `path` with `arguments` (after the program name), feeding `input`
// to its standard input and closing it.
ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& input, int timeoutMs);

