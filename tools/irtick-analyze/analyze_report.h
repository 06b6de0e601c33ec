// What irtick-analyze prints about a capture: the events as they come, in
// the form the options chose, and each capture's summary at its end.
//
// The report writes to a stdio stream and never reads anything.  A live run
// flushes after every batch of events; a run over files lets stdio buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "analyze_stream.h"

// A distinct code of the summary, in the order codes were first seen.
struct CodeCount {
    int32_t protocol = 0;
    int32_t bits = 0;
    uint64_t data = 0;
    int32_t address = kNoValue;
    int32_t command = kNoValue;
    int64_t count = 0;
};

// Unknown runs that got the same closing hint.
struct HintCount {
    UnknownHint hint;
    int64_t count = 0;
};

// The --sim script's press that may still grow: Samsung32 and Sony frames
// that repeat one another become one item with a count.
struct PendingSimItem {
    bool present = false;
    DecodedFrame frame;
    int32_t times = 0;
};

constexpr int32_t kByteValueCount = 256;
// A receiver byte counts ticks of 64 us.
constexpr int32_t kMicrosecondsPerTick = 64;

struct AnalyzeReport {
    int32_t form = 0;         // an AnalyzeForm
    FILE* out = nullptr;
    bool live = false;        // each frame at once, nothing folded
    // The capture being reported.
    int64_t frames = 0;
    int64_t unknownRuns = 0;
    std::vector<CodeCount> codes;
    std::vector<HintCount> hints;
    // Text: a frame held back while identical ones follow it.
    bool frameHeld = false;
    DecodedFrame heldFrame;
    int64_t heldCount = 0;
    // Histogram: how often each byte value came.
    int64_t byteCounts[kByteValueCount] = {};
    // Sim: across captures, one script.
    PendingSimItem simItem;
    bool simItemWritten = false;
};

// Starts a fresh capture; `name` titles it in the text form.
void BeginCaptureReport(AnalyzeReport* report, const std::string& name);

// The bytes of the capture, as given to the engine (for the histogram).
void CountCaptureBytes(AnalyzeReport* report, const uint8_t* bytes, size_t count);

// Shows the events and counts them for the summary.
void ReportStreamEvents(AnalyzeReport* report, const std::vector<StreamEvent>& events);

// Ends the capture: what is held back, then its summary (JSON, text) or
// histogram.
void EndCaptureReport(AnalyzeReport* report);

// Ends the whole run: the --sim script's last item.
void EndReport(AnalyzeReport* report);

// The forms' own parts (analyze_report_text.cpp, analyze_report_json.cpp,
// analyze_sim_script.cpp, analyze_histogram.cpp).
void PrintTextTitle(FILE* out, const std::string& name);
void PrintTextFrame(FILE* out, const DecodedFrame& frame, int64_t count);
void PrintTextUnknown(FILE* out, const UnknownRun& run);
void PrintTextSummary(FILE* out, const AnalyzeReport& report);
std::string DescribeUnknownHint(const UnknownHint& hint);

void PrintJsonFrame(FILE* out, const DecodedFrame& frame);
void PrintJsonUnknown(FILE* out, const UnknownRun& run);
void PrintJsonSummary(FILE* out, const AnalyzeReport& report);

// The irtick-sim items of one press, separated by blanks ("nec:0x00:0x45:2",
// or "us:..." where no item stands for the frame).  times: how often the
// frame came one after the other (Samsung32 and Sony only).
std::string FormSimItems(const DecodedFrame& frame, int32_t times);
// True when `next` may be counted into the pending item.
bool JoinsSimItem(const PendingSimItem& item, const DecodedFrame& next);

void PrintHistogram(FILE* out, const int64_t* byteCounts, int32_t width);

// Same code in the sense of the summary table.
bool IsSameCode(const DecodedFrame& frame, const CodeCount& code);
