// Running the engine over a byte string, and checks that hold for any
// input: events in stream order, unclaimed bytes as received, and every
// interval of a reported frame inside its protocol's windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyze_stream.h"

// One call with everything, then the end.
std::vector<StreamEvent> AnalyzeWhole(const std::vector<uint8_t>& bytes);
// Fed in pieces of the given sizes (repeated), then the end.
std::vector<StreamEvent> AnalyzeInPieces(const std::vector<uint8_t>& bytes, const std::vector<size_t>& pieces);
std::vector<DecodedFrame> FramesOf(const std::vector<StreamEvent>& events);
// A readable line per event, for comparing whole sequences.
std::string DescribeEvents(const std::vector<StreamEvent>& events);

// Empty when the events are sound for `bytes`, else what is wrong.
std::string FindUnsoundEvent(const std::vector<uint8_t>& bytes, const std::vector<StreamEvent>& events);
