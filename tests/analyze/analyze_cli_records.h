// Hand-made frames and unknown runs for the tests of irtick-analyze's
// output forms, and what a report of them prints.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "analyze_report.h"

// What `print` writes to a stream.
std::string Printed(const std::function<void(FILE*)>& print);

DecodedFrame MakeFrame(int32_t protocol, int32_t bits, uint64_t data, int32_t address,
                       int32_t command, int64_t start = 0);
StreamEvent FrameEvent(const DecodedFrame& frame);
StreamEvent UnknownEvent(int64_t start, const std::vector<uint8_t>& bytes);

// The whole report of one capture made of these events, in a form.
std::string Report(int32_t form, const std::vector<StreamEvent>& events, bool live = false);
