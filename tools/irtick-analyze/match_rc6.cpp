// RC6 mode 0: T = 444 us; a leader of 6T mark + 2T space, then 21 bits MSB
// first in bi-phase (a one is mark then space): start bit (1), 3 mode bits
// (000), the toggle bit at double width (2T + 2T), 8 address, 8 command.
// The leader's interval runs from its burst to the start bit's: 8T.
#include "analyze_match.h"

namespace {

const double kRc6T = 444.444;
const int32_t kRc6Bits = 21;
const int32_t kRc6ToggleIndex = 4;  // in the order received

enum Rc6Kind { kRc6Leader, kRc6KindCount = 6 };

const double kRc6Nominals[kRc6KindCount] = {
    Ticks(8 * kRc6T),  // leader
    Ticks(2 * kRc6T), Ticks(3 * kRc6T), Ticks(4 * kRc6T), Ticks(5 * kRc6T), Ticks(6 * kRc6T),
};
const int32_t kRc6KindHalfBits[kRc6KindCount] = {8, 2, 3, 4, 5, 6};

// Bits of the 21-bit value (bit 20 = start bit).
const uint64_t kRc6HeaderMask = 0x1E0000;  // start and mode bits
const uint64_t kRc6Header = 0x100000;      // start 1, mode 0
const int32_t kRc6ToggleBit = 16;
const int32_t kRc6AddressShift = 8;
const uint64_t kRc6ByteMask = 0xFF;

const IntervalLookup& Rc6Lookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kRc6Nominals, kRc6KindCount);
    return lookup;
}

const BiPhaseShape& Rc6Shape() {
    static const BiPhaseShape shape = [] {
        BiPhaseShape built = {&Rc6Lookup(), kRc6KindHalfBits, kRc6Bits, true, kRc6ToggleIndex, nullptr};
        static const BiPhaseStepTable table = BuildBiPhaseSteps(built);
        built.table = &table;
        return built;
    }();
    return shape;
}

}  // namespace

MatchStatus MatchRc6Frames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    if (input.count < 1) {
        return OutOfBytes(input);
    }
    const IntervalLookup& lookup = Rc6Lookup();
    if (lookup.kind[input.bytes[0]] != kRc6Leader) {
        return MatchSettled;
    }
    const BiPhaseShape& shape = Rc6Shape();
    // After the leader: the start bit's mark, in its first half.
    const BiPhaseState start = {0, 0, 1, lookup.errorPercent[input.bytes[0]]};
    BiPhaseFrames frames;
    if (ReadBiPhaseFrames(input, 1, shape, start, &frames) == MatchNeedsMore) {
        return MatchNeedsMore;
    }
    for (int32_t f = 0; f < frames.count; ++f) {
        const BiPhaseFrame& read = frames.frames[f];
        if ((read.data & kRc6HeaderMask) != kRc6Header) {
            continue;
        }
        FrameCandidate candidate = MakeCandidate(input, ProtocolRc6, read.length, kRc6Bits, read.data,
                                                 read.errorPercent);
        candidate.frame.toggle = static_cast<int32_t>((read.data >> kRc6ToggleBit) & 1u);
        candidate.frame.address = static_cast<int32_t>((read.data >> kRc6AddressShift) & kRc6ByteMask);
        candidate.frame.command = static_cast<int32_t>(read.data & kRc6ByteMask);
        found->push_back(candidate);
    }
    return MatchSettled;
}
