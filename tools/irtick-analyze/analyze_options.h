// irtick-analyze's command line: what to read, how to show it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the program prints for each capture.
enum AnalyzeForm : int32_t {
    AnalyzeTextForm,       // one line per press, then the summary table (default)
    AnalyzeJsonForm,       // --json: JSON Lines
    AnalyzeSimForm,        // --sim: an irtick-sim script of the presses
    AnalyzeHistogramForm,  // --histogram: the intervals as bars
};

struct AnalyzeOptions {
    int32_t form = AnalyzeTextForm;    // an AnalyzeForm
    bool undoCrlf = false;             // --crlf
    std::string portName;              // -p/--port; empty: read captures
    std::string savePath;              // --save, live only
    std::vector<std::string> captures; // the operands; "-" is standard input
};

enum AnalyzeParseResult : int32_t {
    AnalyzeParseRun = 0,
    AnalyzeParseHelp = 1,     // --help: print kAnalyzeUsage
    AnalyzeParseVersion = 2,  // --version
    AnalyzeParseBad = 3,      // *message says what is wrong
};

extern const char kAnalyzeUsage[];

// Reads argv[1 .. argc) with getopt_long.  On AnalyzeParseBad, *message
// (without the program name or a line break) says what is wrong.
int32_t ParseAnalyzeOptions(int argc, char** argv, AnalyzeOptions* options,
                            std::string* message);
