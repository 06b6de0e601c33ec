// Turning the settled parse into events: a frame is reported once the step
// after it is settled and is no repeat of it; a run of unclaimed bytes once
// a frame follows it.
#pragma once

#include <cstdint>
#include <vector>

#include "analyze_stream.h"

void ReportUnknownByte(StreamAnalyzer* analyzer, int64_t position, uint8_t byte,
                       std::vector<StreamEvent>* events);
void ReportFrame(StreamAnalyzer* analyzer, const DecodedFrame& frame, std::vector<StreamEvent>* events);
// A repeat of the open frame, ending at `end` (its pause excluded).
void ReportRepeat(StreamAnalyzer* analyzer, int64_t end, double errorPercent);
// Reports the open frame: no more repeats can join it.
void CloseOpenFrame(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events);
// Reports what is still open.
void FlushReports(StreamAnalyzer* analyzer, std::vector<StreamEvent>* events);
