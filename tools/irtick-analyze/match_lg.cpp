// LG: a 9 ms + 4.5 ms leader (8.4 ms + 4.2 ms on some remotes), 28 bits MSB
// first, a closing burst; a held button sends NEC-style repeat frames
// (9 ms + 2.25 ms and a closing burst).  It shares NEC's leader: 28 bits
// against NEC's 32, the search decides by what the bytes after bit 28 are.
#include "analyze_match.h"

namespace {

enum LgKind { kLgLeader, kLgShortLeader, kLgRepeat, kLgZero, kLgOne, kLgKindCount };

const double kLgNominals[kLgKindCount] = {
    Ticks(9000 + 4500),  // leader
    Ticks(8400 + 4200),  // leader of some remotes
    Ticks(9000 + 2250),  // repeat frame
    Ticks(1120),         // bit 0: 560 us burst + 560 us space
    Ticks(2250),         // bit 1: 560 us burst + 1690 us space
};

const int32_t kLgBits = 28;

const IntervalLookup& LgLookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kLgNominals, kLgKindCount);
    return lookup;
}

}  // namespace

MatchStatus MatchLgFrames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    const PulseFrameShape shape = {&LgLookup(), (1u << kLgLeader) | (1u << kLgShortLeader), kLgZero,
                                   kLgOne, kLgBits, true};
    MatchStatus status = MatchSettled;
    FrameCandidate candidate;
    if (!ReadPulseCandidate(input, shape, ProtocolLg, &status, &candidate)) {
        return status;
    }
    found->push_back(candidate);
    return MatchSettled;
}

MatchStatus MatchLgRepeat(const MatchInput& input, const DecodedFrame&, int32_t* length,
                          double* errorPercent) {
    return MatchRepeatInterval(input, LgLookup(), kLgRepeat, length, errorPercent);
}
