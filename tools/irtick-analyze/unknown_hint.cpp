// What an unclaimed run looks like: a guess for the closing hint, from the
// values alone.
//
// Pulse distance: one long interval (the leader), then a series of bit
// intervals of two lengths, the longer between 1.3 and 3 times the shorter.
// Bi-phase: every interval a multiple 2, 3 or 4 of one half-bit time, with
// 3 among them (a series of only 2 and 4 is a pulse-distance series too).
#include <cmath>
#include <vector>

#include "analyze_match.h"

namespace {

constexpr size_t kFewestIntervals = 8;
constexpr double kFit = 0.25;                // a value fits a period within this fraction
constexpr double kLongestShortRatio = 1.3;   // a long bit period: at least this times the short
constexpr double kLongestLongRatio = 3.0;    // and at most this
constexpr double kLeaderOverLong = 1.5;      // a leader: at least this times the long period
constexpr int32_t kLeaderSearch = 4;         // the leader is looked for among the first values
constexpr double kSmallestPeriod = 4.0;      // ticks: a shorter value is a wrapped pause
constexpr double kBiPhaseShare = 0.9;        // share of values that must fit the half-bit grid
const int32_t kHalfBitMultiples[] = {2, 3, 4};

bool Fits(double value, double period) { return std::fabs(value - period) <= kFit * period; }

// The bit intervals from `first` on, as a series of two periods: how many
// fit in a row.  *longPeriod: the longer period, 0 when only one was seen.
int32_t CountPulseBits(const std::vector<uint8_t>& bytes, size_t first, double* longPeriod) {
    double shortPeriod = 0;
    for (size_t i = first; i < bytes.size(); ++i) {
        if (bytes[i] >= kSmallestPeriod && (shortPeriod == 0 || bytes[i] < shortPeriod)) {
            shortPeriod = bytes[i];
        }
    }
    *longPeriod = 0;
    if (shortPeriod == 0) {
        return 0;
    }
    int32_t count = 0;
    for (size_t i = first; i < bytes.size(); ++i) {
        const double value = bytes[i];
        if (Fits(value, shortPeriod)) {
            ++count;
            continue;
        }
        if (*longPeriod == 0 && value >= kLongestShortRatio * shortPeriod &&
            value <= kLongestLongRatio * shortPeriod) {
            *longPeriod = value;
        }
        if (*longPeriod == 0 || !Fits(value, *longPeriod)) {
            break;
        }
        ++count;
    }
    return count;
}

bool ClassifyPulseDistance(const std::vector<uint8_t>& bytes, bool withLeader, UnknownHint* hint) {
    const int32_t leaderSearch = withLeader ? kLeaderSearch : 1;
    for (int32_t leader = 0; leader < leaderSearch && static_cast<size_t>(leader) < bytes.size(); ++leader) {
        const size_t first = withLeader ? static_cast<size_t>(leader) + 1 : 0;
        double longPeriod = 0;
        const int32_t bits = CountPulseBits(bytes, first, &longPeriod);
        if (bits < static_cast<int32_t>(kFewestIntervals) - 1 || longPeriod == 0) {
            continue;
        }
        if (withLeader && bytes[static_cast<size_t>(leader)] < kLeaderOverLong * longPeriod) {
            continue;
        }
        hint->shape = UnknownPulseDistance;
        hint->bits = bits;
        hint->leaderMicroseconds =
            withLeader ? static_cast<int32_t>(bytes[static_cast<size_t>(leader)] * kTickMicroseconds) : 0;
        return true;
    }
    return false;
}

bool ClassifyBiPhase(const std::vector<uint8_t>& bytes, UnknownHint* hint) {
    double smallest = 0;
    for (uint8_t value : bytes) {
        if (value >= kSmallestPeriod && (smallest == 0 || value < smallest)) {
            smallest = value;
        }
    }
    if (smallest == 0) {
        return false;
    }
    const double halfBit = smallest / kHalfBitMultiples[0];
    double sum = 0;
    size_t fitting = 0;
    bool sawThree = false;
    for (uint8_t value : bytes) {
        for (int32_t multiple : kHalfBitMultiples) {
            if (Fits(value, multiple * halfBit)) {
                sum += value / static_cast<double>(multiple);
                ++fitting;
                sawThree = sawThree || multiple == 3;
                break;
            }
        }
    }
    if (!sawThree || fitting < kFewestIntervals || fitting < kBiPhaseShare * bytes.size()) {
        return false;
    }
    hint->shape = UnknownBiPhase;
    hint->halfBitMicroseconds = static_cast<int32_t>(std::lround(sum / fitting * kTickMicroseconds));
    return true;
}

}  // namespace

UnknownHint ClassifyUnknownRun(const UnknownRun& run) {
    UnknownHint hint;
    if (run.bytes.size() < kFewestIntervals) {
        hint.shape = UnknownTooShort;
        return hint;
    }
    if (ClassifyPulseDistance(run.bytes, true, &hint) || ClassifyBiPhase(run.bytes, &hint) ||
        ClassifyPulseDistance(run.bytes, false, &hint)) {
        return hint;
    }
    hint.shape = UnknownUnclassified;
    return hint;
}
