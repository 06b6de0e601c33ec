// Sony (SIRC): a 2.4 ms + 0.6 ms start, then 12, 15 or 20 bits LSB first
// (0: 0.6 ms burst, 1: 1.2 ms burst, each + 0.6 ms space).  There is no
// closing burst: the last bit's interval runs into the pause and measures
// nothing, so a frame of n bits gives n - 1 bit intervals, and which length
// it is shows only in the byte after them.  Every length the bits allow is
// offered; the search picks the one that what follows bears out.
#include "analyze_match.h"

namespace {

enum SonyKind { kSonyStart, kSonyZero, kSonyOne, kSonyKindCount };

const double kSonyNominals[kSonyKindCount] = {
    Ticks(2400 + 600),  // start
    Ticks(600 + 600),   // bit 0
    Ticks(1200 + 600),  // bit 1
};

const int32_t kSonyLengths[] = {12, 15, 20};
const int32_t kSonyCommandBits = 7;
const uint64_t kSonyCommandMask = (1u << kSonyCommandBits) - 1;

const IntervalLookup& SonyLookup() {
    static const IntervalLookup lookup = MakeIntervalLookup(kSonyNominals, kSonyKindCount);
    return lookup;
}

}  // namespace

MatchStatus MatchSonyFrames(const MatchInput& input, std::vector<FrameCandidate>* found) {
    // Read length by length: the start and 11 bits, then 3 more, then 5 more;
    // each length whose measured bits all fit is a reading.
    uint64_t data = 0;
    double error = 0;
    int32_t measured = 0;
    for (int32_t length : kSonyLengths) {
        const bool first = measured == 0;
        const int32_t more = length - 1 - measured;
        const PulseFrameShape shape = {&SonyLookup(), first ? 1u << kSonyStart : 0u, kSonyZero, kSonyOne,
                                       more, false};
        uint64_t bits = 0;
        int32_t readBits = 0;
        const int32_t read = ReadPulseFrame(input, first ? 0 : 1 + measured, shape, &bits, &error, &readBits);
        if (read == PulseReadShort) {
            return OutOfBytes(input);
        }
        if (read == PulseReadFailed) {
            return MatchSettled;
        }
        data |= bits << measured;
        measured += more;
        FrameCandidate candidate = MakeCandidate(input, ProtocolSony, 1 + measured, length, data, error);
        candidate.frame.command = static_cast<int32_t>(data & kSonyCommandMask);
        candidate.frame.address = static_cast<int32_t>(data >> kSonyCommandBits);
        found->push_back(candidate);
    }
    return MatchSettled;
}
