// A table-driven protocol case: a generated signal and the frames the
// protocols' definitions say it holds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analyze_stream.h"
#include "ir_signal.h"

struct ExpectedFrame {
    int32_t protocol;
    int64_t start;
    int32_t bits;
    uint64_t data;
    int32_t address;
    int32_t command;
    int32_t repeats;
    int32_t toggle;
};

struct ProtocolCase {
    std::string name;
    std::function<void(IrSignal*)> build;
    std::vector<ExpectedFrame> expected;
    double jitter = 0;      // of the intervals inside frames
    int32_t unknownRuns = 0;
};

// Checks the frames, the count of unknown runs, the soundness of the events
// and that feeding byte by byte gives the same events.
void CheckProtocolCase(const ProtocolCase& c);
