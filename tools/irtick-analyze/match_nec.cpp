// NEC: a 9 ms + 4.5 ms leader, 32 bits LSB first (address, inverted address,
// command, inverted command), a closing burst; a held button sends repeat
// frames (9 ms + 2.25 ms and a closing burst) every 108 ms.
#include "analyze_match.h"

namespace {

enum NecKind { kNecLeader, kNecRepeat, kNecZero, kNecOne, kNecKindCount };

const double kNecNominals[kNecKindCount] = {
    Ticks(9000 + 4500),  // leader
    Ticks(9000 + 2250),  // repeat frame: its burst to the closing burst
    Ticks(1125),         // bit 0: 562.5 us burst + 562.5 us space
    Ticks(2250),         // bit 1: 562.5 us burst + 1687.5 us space
};

const int32_t kNecBits = 32;

const IntervalLookup& NecLookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kNecNominals, kNecKindCount);
    return lookup;
}

// A byte followed by its complement.
bool IsComplementPair(uint64_t low, uint64_t high) { return ((low ^ high) & 0xFF) == 0xFF; }

}  // namespace

MatchStatus MatchNecFrames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    const PulseFrameShape shape = {&NecLookup(), 1u << kNecLeader, kNecZero, kNecOne, kNecBits,
                                   false};
    MatchStatus status = MatchSettled;
    FrameCandidate candidate;
    if (!ReadPulseCandidate(input, shape, ProtocolNec, &status, &candidate)) {
        return status;
    }
    const uint64_t data = candidate.frame.data;
    const uint64_t byte0 = data & 0xFF;
    const uint64_t byte1 = (data >> 8) & 0xFF;
    const uint64_t byte2 = (data >> 16) & 0xFF;
    const uint64_t byte3 = (data >> 24) & 0xFF;
    candidate.frame.address =
        static_cast<int32_t>(IsComplementPair(byte0, byte1) ? byte0 : byte0 | (byte1 << 8));
    if (IsComplementPair(byte2, byte3)) {
        candidate.frame.command = static_cast<int32_t>(byte2);
    }
    found->push_back(candidate);
    return MatchSettled;
}

MatchStatus MatchNecRepeat(const MatchInput& input, const DecodedFrame&, int32_t* length,
                           double* errorPercent) {
    return MatchRepeatInterval(input, NecLookup(), kNecRepeat, length, errorPercent);
}
