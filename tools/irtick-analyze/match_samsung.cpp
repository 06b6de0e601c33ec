// Samsung32: a 4.5 ms + 4.5 ms leader, 32 bits LSB first (address, address,
// command, inverted command), a closing burst.  A held button sends the
// whole frame again, which is a frame of its own.
#include "analyze_match.h"

namespace {

enum SamsungKind { kSamsungLeader, kSamsungZero, kSamsungOne, kSamsungKindCount };

const double kSamsungNominals[kSamsungKindCount] = {
    Ticks(4500 + 4500),  // leader
    Ticks(1120),         // bit 0: 560 us burst + 560 us space
    Ticks(2250),         // bit 1: 560 us burst + 1690 us space
};

const int32_t kSamsungBits = 32;

const IntervalLookup& SamsungLookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kSamsungNominals, kSamsungKindCount);
    return lookup;
}

}  // namespace

MatchStatus MatchSamsungFrames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    const PulseFrameShape shape = {&SamsungLookup(), 1u << kSamsungLeader, kSamsungZero, kSamsungOne,
                                   kSamsungBits, false};
    MatchStatus status = MatchSettled;
    FrameCandidate candidate;
    if (!ReadPulseCandidate(input, shape, ProtocolSamsung32, &status, &candidate)) {
        return status;
    }
    const uint64_t data = candidate.frame.data;
    const uint64_t command = (data >> 16) & 0xFF;
    const uint64_t inverted = (data >> 24) & 0xFF;
    candidate.frame.address = static_cast<int32_t>(data & 0xFF);
    if ((command ^ inverted) == 0xFF) {
        candidate.frame.command = static_cast<int32_t>(command);
    }
    found->push_back(candidate);
    return MatchSettled;
}
