// What every matcher shares: the windows around the nominal intervals and
// the reading of pulse-distance bits.
#include <cmath>

#include "analyze_match.h"

namespace {

// A measured interval fits a nominal one within this fraction of it.
constexpr double kWindowFraction = 0.25;
// The receiver's counter holds no more.
constexpr double kLargestByte = 255.0;

}  // namespace

IntervalLookup MakeIntervalLookup(const double* nominalTicks, int32_t count) {
    IntervalLookup built;
    IntervalLookup* lookup = &built;
    for (int32_t value = 0; value < 256; ++value) {
        int32_t best = kNoKind;
        double bestDistance = 0;
        for (int32_t kind = 0; kind < count; ++kind) {
            const double nominal = nominalTicks[kind];
            const double low = nominal * (1.0 - kWindowFraction);
            const double high = std::fmin(nominal * (1.0 + kWindowFraction), kLargestByte);
            const double distance = std::fabs(value - nominal);
            if (value < low || value > high) {
                continue;
            }
            // Where windows overlap, the nearest nominal value decides.
            if (best == kNoKind || distance < bestDistance) {
                best = kind;
                bestDistance = distance;
            }
        }
        lookup->kind[value] = static_cast<int8_t>(best);
        lookup->errorPercent[value] =
            best == kNoKind ? 0.0f : static_cast<float>(bestDistance / nominalTicks[best] * 100.0);
    }
    return built;
}

int32_t ReadPulseFrame(const MatchInput& input, int32_t offset, const PulseFrameShape& shape,
                       uint64_t* data, double* errorPercent, int32_t* readBits) {
    const IntervalLookup& lookup = *shape.lookup;
    *data = 0;
    *readBits = 0;
    int32_t position = offset;
    if (shape.leaderKinds != 0) {
        if (position >= input.count) {
            return PulseReadShort;
        }
        const int32_t kind = lookup.kind[input.bytes[position]];
        if (kind == kNoKind || (shape.leaderKinds & (1u << kind)) == 0) {
            return PulseReadFailed;
        }
        *errorPercent = std::fmax(*errorPercent, lookup.errorPercent[input.bytes[position]]);
        ++position;
    }
    for (int32_t bit = 0; bit < shape.bitCount; ++bit, ++position) {
        if (position >= input.count) {
            return PulseReadShort;
        }
        const uint8_t value = input.bytes[position];
        const int32_t kind = lookup.kind[value];
        if (kind != shape.zeroKind && kind != shape.oneKind) {
            return PulseReadFailed;
        }
        const uint64_t one = kind == shape.oneKind ? 1u : 0u;
        *data = shape.msbFirst ? (*data << 1) | one : *data | (one << bit);
        if (lookup.errorPercent[value] > *errorPercent) {
            *errorPercent = lookup.errorPercent[value];
        }
        *readBits = bit + 1;
    }
    return PulseReadOk;
}

FrameCandidate MakeCandidate(const MatchInput& input, int32_t protocol, int32_t length,
                             int32_t bits, uint64_t data, double errorPercent) {
    FrameCandidate candidate;
    candidate.length = length;
    candidate.frame.start = input.start;
    candidate.frame.end = input.start + length;
    candidate.frame.protocol = protocol;
    candidate.frame.bits = bits;
    candidate.frame.data = data;
    candidate.frame.errorPercent = errorPercent;
    return candidate;
}

bool ReadPulseCandidate(const MatchInput& input, const PulseFrameShape& shape, int32_t protocol,
                        MatchStatus* status, FrameCandidate* candidate) {
    uint64_t data = 0;
    double error = 0;
    int32_t readBits = 0;
    const int32_t read = ReadPulseFrame(input, 0, shape, &data, &error, &readBits);
    *status = read == PulseReadShort ? OutOfBytes(input) : MatchSettled;
    if (read != PulseReadOk) {
        return false;
    }
    const int32_t length = (shape.leaderKinds != 0 ? 1 : 0) + shape.bitCount;
    *candidate = MakeCandidate(input, protocol, length, shape.bitCount, data, error);
    return true;
}

MatchStatus MatchRepeatInterval(const MatchInput& input, const IntervalLookup& lookup,
                                int32_t repeatKind, int32_t* length, double* errorPercent) {
    *length = 0;
    if (input.count < 1) {
        return OutOfBytes(input);
    }
    if (lookup.kind[input.bytes[0]] == repeatKind) {
        *length = 1;
        *errorPercent = lookup.errorPercent[input.bytes[0]];
    }
    return MatchSettled;
}
