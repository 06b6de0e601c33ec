// Sharp: no leader; 15 bits LSB first (5 address, 8 command, expansion 1,
// check 0; 0: 1 ms, 1: 2 ms periods, short bursts) and a stop burst, then
// 40 ms after the first frame's start the same frame with command,
// expansion and check inverted.  Only the pair is a Sharp frame: the second
// frame's relation to the first is what tells it from any 15 short-long
// intervals.  The byte between the two frames is a pause.
#include "analyze_match.h"

namespace {

enum SharpKind { kSharpZero, kSharpOne, kSharpKindCount };

const double kSharpNominals[kSharpKindCount] = {
    Ticks(1000),  // bit 0: 320 us burst + 680 us space
    Ticks(2000),  // bit 1: 320 us burst + 1680 us space
};

const int32_t kSharpBits = 15;
const int32_t kSharpAddressBits = 5;
const uint64_t kSharpAddressMask = (1u << kSharpAddressBits) - 1;
const uint64_t kSharpCommandMask = 0xFF;
// Command, expansion and check: inverted in the second frame.
const uint64_t kSharpInvertedBits = 0x7FE0;
// The first frame's expansion bit is 1 and its check bit 0.
const uint64_t kSharpMarkerMask = 0x6000;
const uint64_t kSharpFirstMarker = 0x2000;
const int32_t kSharpExpansionBit = 13;
const int32_t kSharpCheckBit = 14;

const IntervalLookup& SharpLookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kSharpNominals, kSharpKindCount);
    return lookup;
}

}  // namespace

MatchStatus MatchSharpFrames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    const PulseFrameShape shape = {&SharpLookup(), 0, kSharpZero, kSharpOne, kSharpBits, false};
    // The expansion (1) and check (0) bits first: they turn most
    // non-Sharp positions away without reading the whole frame.
    if (input.count >= kSharpBits &&
        (SharpLookup().kind[input.bytes[kSharpExpansionBit]] != kSharpOne ||
         SharpLookup().kind[input.bytes[kSharpCheckBit]] != kSharpZero)) {
        return MatchSettled;
    }
    uint64_t first = 0;
    uint64_t second = 0;
    double error = 0;
    int32_t readBits = 0;
    int32_t read = ReadPulseFrame(input, 0, shape, &first, &error, &readBits);
    if (read == PulseReadOk && (first & kSharpMarkerMask) != kSharpFirstMarker) {
        return MatchSettled;
    }
    const int32_t secondOffset = kSharpBits + 1;
    if (read == PulseReadOk) {
        if (input.count <= secondOffset) {
            return OutOfBytes(input);
        }
        read = ReadPulseFrame(input, secondOffset, shape, &second, &error, &readBits);
    }
    if (read == PulseReadShort) {
        return OutOfBytes(input);
    }
    if (read == PulseReadFailed || second != (first ^ kSharpInvertedBits)) {
        return MatchSettled;
    }
    FrameCandidate candidate =
        MakeCandidate(input, ProtocolSharp, secondOffset + kSharpBits, kSharpBits, first, error);
    candidate.frame.address = static_cast<int32_t>(first & kSharpAddressMask);
    candidate.frame.command = static_cast<int32_t>((first >> kSharpAddressBits) & kSharpCommandMask);
    found->push_back(candidate);
    return MatchSettled;
}
