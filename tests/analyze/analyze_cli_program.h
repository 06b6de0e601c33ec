// Shared by the tests of the built irtick-analyze: running it and
// irtick-sim, and reading its --json output back as frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyze_cli_json.h"
#include "analyze_cli_process.h"

// Generous for a loaded two-core machine.
constexpr int kProgramTimeoutMs = 30000;

ProgramResult RunAnalyze(const std::vector<std::string>& arguments, const std::string& input = "");

// The bytes irtick-sim sends for these items, written with --fast into a
// file in `directory`; empty (and a failed test) when it fails.
std::string MakeCapture(const std::string& directory, const std::vector<std::string>& items,
                        int jitterPercent = 0, uint32_t seed = 1);

// A frame object of the --json output, its fields as text.
struct ParsedFrame {
    std::string protocol;
    std::string bits;
    std::string data;
    std::string address;   // "null" or the number
    std::string command;
    std::string repeats;
    std::string toggle;
    std::string start;
    double errorPercent = 0;
};

// The frame objects of the output, in order; *summaries the summary
// objects, if given.
std::vector<ParsedFrame> ParseFrames(const std::string& output,
                                     std::vector<JsonValue>* summaries = nullptr);

// "NEC 00/45 BA45FF00 r2" for each frame: what a press is, without its
// offset and error.
std::vector<std::string> DescribePresses(const std::vector<ParsedFrame>& frames);
