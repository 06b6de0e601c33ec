// Adding burst starts to a timeline, shared by the item kinds and by the
// byte encoding (which must agree on when two bursts are one).
#pragma once

#include <cstdint>
#include <vector>

#include "sim_script.h"

// A measured burst at the time of the burst before it is that burst; a
// recorded one always counts (a recorded 0 is an interval of its own).
bool IsSameBurst(bool hasPrevious, int64_t previousMicroseconds, const Burst& burst);

// Appends a burst start unless it is the same burst as the last one.
void AddBurst(std::vector<Burst>* bursts, int64_t startMicroseconds,
              int32_t recordedByte = kMeasuredBurst);

// The item kinds that are made of frames.  Each appends the item's bursts
// from `start` and sets *end to where the next item may begin.
//   sim_frames.cpp: nec, sony, samsung, jvc, lg, kaseikyo, sharp
void AppendPulseDistanceBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                               int64_t* end);
//   sim_biphase.cpp: rc5, rc6
void AppendBiphaseBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                         int64_t* end);
