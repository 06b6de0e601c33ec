// What irtick-sim sends for a command line, worked out with its own script
// code (no timing): the bytes that the built simulator must deliver.
#pragma once

#include <string>
#include <vector>

#include "sim_script.h"

// The bytes of one run of the script (the first pass of a --loop), in
// order; empty if the command line is bad.  With --jitter and --seed the
// same bytes as the built simulator given the same arguments.
inline std::string ScriptBytes(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv{"irtick-sim"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    SimCommand command;
    std::string message;
    if (ParseSimCommandLine(static_cast<int>(argv.size()), argv.data(), &command, &message) !=
        SimParseRun) {
        return std::string();
    }
    std::mt19937 random(command.options.seed);
    EventCursor cursor;
    std::vector<SendEvent> events;
    AppendEvents(BuildTimeline(command.items, 0).bursts, command.options.jitterPercent, &random,
                 &cursor, &events);
    std::string bytes;
    for (const SendEvent& event : events) bytes += static_cast<char>(event.value);
    return bytes;
}
