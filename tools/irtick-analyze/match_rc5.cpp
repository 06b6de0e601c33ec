// RC5: bi-phase with half-bit T = 889 us, 14 bits MSB first: S1 (1), S2 (1,
// or in RC5X the inverse of command bit 6), toggle, 5 address, 6 command.
// A one is space then mark, so the first burst is the second half of S1,
// the middle of the first bit: the frame's first byte (its `start`) is the
// interval from that burst to the next, the first byte after the pause.
#include "analyze_match.h"

namespace {

const double kRc5HalfBit = 889;
const int32_t kRc5Bits = 14;

// Intervals of 2, 3 and 4 half-bit times.
const double kRc5Nominals[] = {Ticks(2 * kRc5HalfBit), Ticks(3 * kRc5HalfBit), Ticks(4 * kRc5HalfBit)};
const int32_t kRc5KindHalfBits[] = {2, 3, 4};
const int32_t kRc5KindCount = 3;

// Bits of the 14-bit value (bit 13 = S1).
const int32_t kRc5SecondStartBit = 12;
const int32_t kRc5ToggleBit = 11;
const int32_t kRc5AddressShift = 6;
const uint64_t kRc5AddressMask = 0x1F;
const uint64_t kRc5CommandMask = 0x3F;
const int32_t kRc5ExtendedCommand = 64;

const IntervalLookup& Rc5Lookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kRc5Nominals, kRc5KindCount);
    return lookup;
}

const BiPhaseShape& Rc5Shape() {
    static const BiPhaseShape shape = [] {
        BiPhaseShape built = {&Rc5Lookup(), kRc5KindHalfBits, kRc5Bits, false, -1, nullptr};
        static const BiPhaseStepTable table = BuildBiPhaseSteps(built);
        built.table = &table;
        return built;
    }();
    return shape;
}

}  // namespace

MatchStatus MatchRc5Frames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    if (input.count >= 1 && Rc5Lookup().kind[input.bytes[0]] == kNoKind) {
        return MatchSettled;
    }
    const BiPhaseShape& shape = Rc5Shape();
    // The first burst: the second half of S1, which is therefore 1.
    const BiPhaseState start = {0, 1, 1, 0.0};
    BiPhaseFrames frames;
    if (ReadBiPhaseFrames(input, 0, shape, start, &frames) == MatchNeedsMore) {
        return MatchNeedsMore;
    }
    for (int32_t f = 0; f < frames.count; ++f) {
        const BiPhaseFrame& read = frames.frames[f];
        if (read.length == 0) {
            continue;
        }
        FrameCandidate candidate = MakeCandidate(input, ProtocolRc5, read.length, kRc5Bits, read.data,
                                                 read.errorPercent);
        const bool secondStart = ((read.data >> kRc5SecondStartBit) & 1u) != 0;
        candidate.frame.toggle = static_cast<int32_t>((read.data >> kRc5ToggleBit) & 1u);
        candidate.frame.address = static_cast<int32_t>((read.data >> kRc5AddressShift) & kRc5AddressMask);
        candidate.frame.command =
            static_cast<int32_t>(read.data & kRc5CommandMask) + (secondStart ? 0 : kRc5ExtendedCommand);
        found->push_back(candidate);
    }
    return MatchSettled;
}
