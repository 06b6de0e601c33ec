// Running irtick-sim's script code in the tests: a command line parsed, and
// the events (send time, byte) of one run of it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_script.h"

struct Parsed {
    int32_t result;
    SimCommand command;
    std::string message;
};

inline Parsed Parse(std::vector<std::string> arguments) {
    std::vector<const char*> argv{"irtick-sim"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    Parsed parsed;
    parsed.result = ParseSimCommandLine(static_cast<int>(argv.size()), argv.data(),
                                        &parsed.command, &parsed.message);
    return parsed;
}

inline std::string Joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += "[" + argument + "]";
    return text;
}

// The events of a whole script, as the player sends them in one run.
inline std::vector<SendEvent> EventsOf(const std::vector<std::string>& arguments) {
    Parsed parsed = Parse(arguments);
    EXPECT_EQ(parsed.result, SimParseRun) << Joined(arguments) << ": " << parsed.message;
    Timeline timeline = BuildTimeline(parsed.command.items, 0);
    std::mt19937 random(parsed.command.options.seed);
    EventCursor cursor;
    std::vector<SendEvent> events;
    AppendEvents(timeline.bursts, parsed.command.options.jitterPercent, &random, &cursor, &events);
    return events;
}

inline std::vector<int> ValuesOf(const std::vector<SendEvent>& events) {
    std::vector<int> values;
    for (const SendEvent& event : events) values.push_back(event.value);
    return values;
}

inline std::vector<int64_t> TimesOf(const std::vector<SendEvent>& events) {
    std::vector<int64_t> times;
    for (const SendEvent& event : events) times.push_back(event.sendMicroseconds);
    return times;
}

// A command line that must be refused, and what the message must contain.
struct BadCase {
    std::vector<std::string> arguments;
    std::string named;
};

inline void ExpectRefused(const BadCase& testCase) {
    SCOPED_TRACE(Joined(testCase.arguments));
    Parsed parsed = Parse(testCase.arguments);
    EXPECT_EQ(parsed.result, SimParseBad);
    EXPECT_NE(parsed.message.find(testCase.named), std::string::npos)
        << "message: " << parsed.message;
}
