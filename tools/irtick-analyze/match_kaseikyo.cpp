// Kaseikyo (Panasonic and others): T = 432 us, a leader of 8T + 4T, 48 bits
// LSB first (0: 2T, 1: 4T periods, T bursts; the 16-bit vendor first, then
// 32 data bits), a closing burst.
#include "analyze_match.h"

namespace {

enum KaseikyoKind { kKaseikyoLeader, kKaseikyoZero, kKaseikyoOne, kKaseikyoKindCount };

const double kKaseikyoT = 432;

const double kKaseikyoNominals[kKaseikyoKindCount] = {
    Ticks(12 * kKaseikyoT),  // leader: 8T burst + 4T space
    Ticks(2 * kKaseikyoT),   // bit 0: T burst + T space
    Ticks(4 * kKaseikyoT),   // bit 1: T burst + 3T space
};

const int32_t kKaseikyoBits = 48;

const IntervalLookup& KaseikyoLookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kKaseikyoNominals, kKaseikyoKindCount);
    return lookup;
}

}  // namespace

MatchStatus MatchKaseikyoFrames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    const PulseFrameShape shape = {&KaseikyoLookup(), 1u << kKaseikyoLeader, kKaseikyoZero,
                                   kKaseikyoOne, kKaseikyoBits, false};
    MatchStatus status = MatchSettled;
    FrameCandidate candidate;
    if (!ReadPulseCandidate(input, shape, ProtocolKaseikyo, &status, &candidate)) {
        return status;
    }
    found->push_back(candidate);
    return MatchSettled;
}
