// irtick-analyze on a live receiver: -p PORT [--save FILE].
#pragma once

#include "analyze_options.h"
#include "analyze_report.h"

// Powers the receiver up through the project's receiver port unit, shows
// each frame as it completes, and ends on any key or Ctrl+C: the receiver
// powered down (DTR, then RTS), then the summary.  With --save every byte
// is appended to the file as it comes, written out after every read.
// Gives the exit status: 0 after a run, 1 when the save file could not be
// written in full, 2 when the port or the save file cannot be opened.
int RunLiveAnalysis(const AnalyzeOptions& options, AnalyzeReport* report);
