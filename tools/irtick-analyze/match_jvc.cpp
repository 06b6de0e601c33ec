// JVC: an 8.4 ms + 4.2 ms leader, 16 bits LSB first (address, command), a
// closing burst; a held button sends the 16 bits and closing burst again
// without the leader every 55 ms.  The leader lies within NEC's and LG's:
// the search tells them apart by the bit count and what follows (a JVC frame
// and its repeat across a wrapped pause can read as 32 NEC bits, but leave
// the repeat's last bit and the pause after it unexplained).
#include "analyze_match.h"

namespace {

enum JvcKind { kJvcLeader, kJvcZero, kJvcOne, kJvcKindCount };

const double kJvcNominals[kJvcKindCount] = {
    Ticks(8400 + 4200),  // leader
    Ticks(1050),         // bit 0: 525 us burst + 525 us space
    Ticks(2100),         // bit 1: 525 us burst + 1575 us space
};

const int32_t kJvcBits = 16;

const IntervalLookup& JvcLookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kJvcNominals, kJvcKindCount);
    return lookup;
}

}  // namespace

MatchStatus MatchJvcFrames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    const PulseFrameShape shape = {&JvcLookup(), 1u << kJvcLeader, kJvcZero, kJvcOne, kJvcBits, false};
    MatchStatus status = MatchSettled;
    FrameCandidate candidate;
    if (!ReadPulseCandidate(input, shape, ProtocolJvc, &status, &candidate)) {
        return status;
    }
    const uint64_t data = candidate.frame.data;
    candidate.frame.address = static_cast<int32_t>(data & 0xFF);
    candidate.frame.command = static_cast<int32_t>((data >> 8) & 0xFF);
    found->push_back(candidate);
    return MatchSettled;
}

// A repeat is the same 16 bits without the leader.
MatchStatus MatchJvcRepeat(const MatchInput& input, const DecodedFrame& frame, int32_t* length,
                           double* errorPercent) {
    *length = 0;
    const PulseFrameShape shape = {&JvcLookup(), 0, kJvcZero, kJvcOne, kJvcBits, false};
    MatchStatus status = MatchSettled;
    FrameCandidate repeat;
    if (ReadPulseCandidate(input, shape, ProtocolJvc, &status, &repeat) && repeat.frame.data == frame.data) {
        *length = repeat.length;
        *errorPercent = repeat.frame.errorPercent;
    }
    return status;
}
