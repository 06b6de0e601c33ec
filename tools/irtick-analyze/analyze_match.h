// The engine's protocol matchers and the interval tables they read.
//
// A matcher looks at the bytes from one stream position on and lists every
// frame of its protocol that starts there (a frame may have several
// readings, e.g. Sony 12, 15 or 20 bits).  It does not choose: the search in
// stream_search.cpp weighs the candidates of all protocols against what
// follows them.  A matcher that runs out of bytes while a frame is still
// possible asks for more, unless the segment is complete.
#pragma once

#include <cstdint>
#include <vector>

#include "analyze_stream.h"

// The nominal intervals of one protocol, in ticks, and for each byte value
// the one it is taken as: the nearest nominal whose +-25 % window (clipped
// at 255) holds the value, or none.
constexpr int32_t kNoKind = -1;
constexpr double kTickMicroseconds = 64.0;

struct IntervalLookup {
    int8_t kind[256];
    float errorPercent[256];  // deviation from that nominal
};

IntervalLookup MakeIntervalLookup(const double* nominalTicks, int32_t count);

inline constexpr double Ticks(double microseconds) { return microseconds / kTickMicroseconds; }

// The bytes from a stream position to the end of what has arrived.
struct MatchInput {
    const uint8_t* bytes;
    int32_t count;
    bool complete;  // no more bytes will come in this segment
    int64_t start;  // stream index of bytes[0]
};

enum MatchStatus : int32_t { MatchSettled, MatchNeedsMore };

// The status for a matcher that ran out of bytes.
inline MatchStatus OutOfBytes(const MatchInput& input) {
    return input.complete ? MatchSettled : MatchNeedsMore;
}

struct FrameCandidate {
    int32_t length;  // bytes of the frame, the pause after it excluded
    DecodedFrame frame;
};

// Lists the frames that start at input.bytes[0].
typedef MatchStatus (*FrameMatcher)(const MatchInput& input, std::vector<FrameCandidate>* found);
// A repeat of `frame` at input.bytes[0]: its length in bytes (0 for none).
typedef MatchStatus (*RepeatMatcher)(const MatchInput& input, const DecodedFrame& frame,
                                     int32_t* length, double* errorPercent);

struct ProtocolMatcher {
    int32_t protocol;
    FrameMatcher matchFrames;
    RepeatMatcher matchRepeat;  // nullptr: the protocol has no repeat frames
};

// All protocols, in the order their candidates are weighed on a tie.
const ProtocolMatcher* ListProtocolMatchers(int32_t* count);

// Pulse distance: bit intervals of two kinds after an optional leader.
struct PulseFrameShape {
    const IntervalLookup* lookup;
    uint32_t leaderKinds;  // bit mask of the kinds a leader may be, 0 for no leader
    int32_t zeroKind;
    int32_t oneKind;
    int32_t bitCount;
    bool msbFirst;  // the first bit received is the most significant
};

enum PulseRead : int32_t { PulseReadOk, PulseReadFailed, PulseReadShort };

// Reads one frame of `shape` at bytes[offset]: its bits into *data, the
// largest deviation into *errorPercent (kept if larger).  *readBits: the bit
// intervals that fitted before the frame ended or broke off.
int32_t ReadPulseFrame(const MatchInput& input, int32_t offset, const PulseFrameShape& shape,
                       uint64_t* data, double* errorPercent, int32_t* readBits);

// A frame of `shape` (leader and bits) at the input's position: true and
// *candidate (its length, bits and data; no address or command yet) when it
// is there.  *status: whether it waits for more bytes.
bool ReadPulseCandidate(const MatchInput& input, const PulseFrameShape& shape, int32_t protocol,
                        MatchStatus* status, FrameCandidate* candidate);

// A repeat frame of one interval of `repeatKind` at the input's position.
MatchStatus MatchRepeatInterval(const MatchInput& input, const IntervalLookup& lookup,
                                int32_t repeatKind, int32_t* length, double* errorPercent);

// A candidate of `length` bytes at the input's position.
FrameCandidate MakeCandidate(const MatchInput& input, int32_t protocol, int32_t length,
                             int32_t bits, uint64_t data, double errorPercent);

// Bi-phase (RC5, RC6): see biphase.cpp for how burst starts give the bits.
constexpr int32_t kBiPhaseMostBits = 32;

// From a burst in one half of a bit of one value: each interval's reading.
struct BiPhaseStep {
    int32_t halfBits;   // to the next burst start; 0: no burst before the frame ends
    int32_t bit;        // where that burst lies
    int32_t half;
    uint64_t addedBits; // the bits that this settles, first received in bit 0
};

struct BiPhaseSteps {
    int32_t count;
    BiPhaseStep steps[4];
};

struct BiPhaseStepTable {
    BiPhaseSteps from[kBiPhaseMostBits][2][2];  // [bit][half][value of the bit]
};

struct BiPhaseShape;
BiPhaseStepTable BuildBiPhaseSteps(const BiPhaseShape& shape);

struct BiPhaseShape {
    const IntervalLookup* lookup;
    const int32_t* kindHalfBits;  // interval of each lookup kind, in half-bit times
    int32_t bitCount;
    bool oneIsMarkFirst;  // RC6: a one is mark then space; RC5: space then mark
    int32_t wideBit;      // the bit whose halves are two half-bit times long, -1 none
    const BiPhaseStepTable* table;  // BuildBiPhaseSteps of the fields above
};

// Where the decoding stands: the burst that starts the current byte's
// interval lies in half `half` of bit `bit`; bits 0..bit are known, the
// first received in bit 0 of `bits`.
struct BiPhaseState {
    int32_t bit;
    int32_t half;
    uint64_t bits;
    double errorPercent;
};

struct BiPhaseFrame {
    int32_t length;  // bytes from the match position
    uint64_t data;   // MSB first: the first bit received is the most significant
    double errorPercent;
};

// The readings: the last bit with its own burst, or merged into the one
// before (kept to the first few, which is all there can be).
constexpr int32_t kBiPhaseMostFrames = 4;

struct BiPhaseFrames {
    int32_t count;
    BiPhaseFrame frames[kBiPhaseMostFrames];
};

// Decodes from bytes[offset] on, the burst of `state` starting bytes[offset];
// every complete reading goes to *frames.
MatchStatus ReadBiPhaseFrames(const MatchInput& input, int32_t offset, const BiPhaseShape& shape,
                              BiPhaseState state, BiPhaseFrames* frames);

MatchStatus MatchNecFrames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchNecRepeat(const MatchInput& input, const DecodedFrame& frame, int32_t* length,
                           double* errorPercent);
MatchStatus MatchSamsungFrames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchJvcFrames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchJvcRepeat(const MatchInput& input, const DecodedFrame& frame, int32_t* length,
                           double* errorPercent);
MatchStatus MatchLgFrames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchLgRepeat(const MatchInput& input, const DecodedFrame& frame, int32_t* length,
                          double* errorPercent);
MatchStatus MatchKaseikyoFrames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchSharpFrames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchSonyFrames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchRc5Frames(const MatchInput& input, std::vector<FrameCandidate>* found);
MatchStatus MatchRc6Frames(const MatchInput& input, std::vector<FrameCandidate>* found);
