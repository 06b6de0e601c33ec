// Whether a frame that irtick-analyze's engine reported fits its protocol,
// by a table of nominal intervals worked out here from the published
// timings (PROTOCOLS.md), each interval within +-25 %: the leader, the bit
// intervals (whose reading must give the frame's data), the repeats and the
// span they make; the address, command and toggle follow from the data.
// A failed check ends the program (FuzzCheck).
#pragma once

#include <cstdint>
#include <vector>

#include "analyze_stream.h"

void CheckDecodedFrame(const std::vector<uint8_t>& stream, const DecodedFrame& frame);
