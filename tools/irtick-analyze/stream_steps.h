// The steps of the parse search over the pending bytes: shared by the
// step taking (stream_steps.cpp) and the settling (stream_search.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "analyze_match.h"

enum SearchStep : int32_t { kStepRoot, kStepUnknown, kStepFrame, kStepRepeat };

constexpr int64_t kSlotCount = 8192;  // a power of two above the window

SearchSlot& SlotAt(StreamAnalyzer* analyzer, int64_t position);
// Stream index after the last byte that has arrived.
int64_t StreamLength(const StreamAnalyzer* analyzer);
// Fewer unclaimed bytes, then a smaller error sum.
bool Cheaper(const SearchEntry& a, const SearchEntry& b);
// Begins the search at `position` with a bare root.
void StartSearchAt(StreamAnalyzer* analyzer, int64_t position);
void EnsureStarted(StreamAnalyzer* analyzer);
const SearchCandidate& CandidateById(const StreamAnalyzer* analyzer, int64_t id);
// Lists the steps of the first unprocessed position and takes them.  False
// when a matcher needs bytes that have not arrived.
bool TakePositionSteps(StreamAnalyzer* analyzer, bool complete, std::vector<FrameCandidate>* found);
