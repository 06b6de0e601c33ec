// The checks of irtick-sim's timeline and events for a parsed script, for
// the sim_script fuzz target:
//   - the bursts of every item lie between its start and its end, in time
//     order (two at one time only for a recorded interval of 0), us: and
//     file: exactly where their intervals put them, and BuildTimeline
//     gives what the items give one by one;
//   - without jitter every event is sent at its burst and its byte is the
//     interval rounded to ticks mod 256 (a recorded byte unchanged), also
//     when the events are made item by item through one cursor;
//   - with the script's jitter each interval stays within +-PCT of its
//     length and its byte is the varied interval's.
// A failed check ends the program (FuzzCheck).
#pragma once

#include <vector>

#include "sim_script.h"

void CheckSimTimeline(const std::vector<SimItem>& items, const SimOptions& options);
