#include "targets/analyze_frame_checks.h"

#include "support/fuzz_input.h"

namespace {

constexpr double kTickMicroseconds = 64;
constexpr double kWindow = 0.25;
constexpr double kLargestErrorPercent = 25.0 + 1e-6;

// Whether a received byte measures an interval of `microseconds` within
// +-25 %.
bool Fits(uint8_t value, double microseconds)
{
    const double nominal = microseconds / kTickMicroseconds;
    return value >= nominal * (1 - kWindow) - 1e-9 && value <= nominal * (1 + kWindow) + 1e-9;
}

enum Repeats { kNoRepeats, kRepeatLeader, kRepeatBits };

// A pulse-distance protocol: a frame is the leader's interval (when it has
// one) and one interval per bit; its payload is read from them.
struct PulseProtocol {
    int32_t protocol;
    double leaders[2];  // leader periods (0: none), microseconds
    double zero;
    double one;
    int32_t bits;       // measured bits (Sony: from the frame)
    bool msbFirst;
    int32_t repeats;    // a Repeats
    double repeatLeader;
};

const PulseProtocol kPulseProtocols[] = {
    {ProtocolNec, {13500, 0}, 1125, 2250, 32, false, kRepeatLeader, 11250},
    {ProtocolSamsung32, {9000, 0}, 1120, 2250, 32, false, kNoRepeats, 0},
    {ProtocolJvc, {12600, 0}, 1050, 2100, 16, false, kRepeatBits, 0},
    {ProtocolLg, {13500, 12600}, 1120, 2250, 28, true, kRepeatLeader, 11250},
    {ProtocolKaseikyo, {5184, 0}, 864, 1728, 48, false, kNoRepeats, 0},
    {ProtocolSharp, {0, 0}, 1000, 2000, 15, false, kNoRepeats, 0},
    {ProtocolSony, {3000, 0}, 1200, 1800, 0, false, kNoRepeats, 0},
};

constexpr uint64_t kSharpInvertedBits = 0x7FE0;  // command, expansion, check
constexpr uint64_t kSharpExpansionBit = 1u << 13;
constexpr uint64_t kSharpCheckBit = 1u << 14;

// Reads `bits` bit intervals from stream[at]: the value, and a mask of the
// bits whose interval fits both a 0 and a 1 (either reading stands).  false
// when an interval fits neither.
bool ReadBits(const std::vector<uint8_t>& stream, int64_t at, const PulseProtocol& shape,
              int32_t bits, uint64_t* value, uint64_t* eitherMask)
{
    *value = 0;
    *eitherMask = 0;
    for (int32_t i = 0; i < bits; ++i) {
        const uint8_t byte = stream[at + i];
        const bool zero = Fits(byte, shape.zero);
        const bool one = Fits(byte, shape.one);
        if (!zero && !one) return false;
        const int32_t position = shape.msbFirst ? bits - 1 - i : i;
        if (one) *value |= uint64_t{1} << position;
        if (zero && one) *eitherMask |= uint64_t{1} << position;
    }
    return true;
}

bool SameBits(uint64_t read, uint64_t either, uint64_t data)
{
    return (read & ~either) == (data & ~either);
}

void CheckPulseFields(const DecodedFrame& frame)
{
    const uint64_t data = frame.data;
    const int32_t byte0 = static_cast<int32_t>(data & 0xFF);
    const int32_t byte1 = static_cast<int32_t>((data >> 8) & 0xFF);
    const int32_t byte2 = static_cast<int32_t>((data >> 16) & 0xFF);
    const int32_t byte3 = static_cast<int32_t>((data >> 24) & 0xFF);
    const bool addressPair = (byte0 ^ byte1) == 0xFF;
    const int32_t pairedCommand = (byte2 ^ byte3) == 0xFF ? byte2 : kNoValue;
    int32_t address = kNoValue;
    int32_t command = kNoValue;
    switch (frame.protocol) {
        case ProtocolNec:
            address = addressPair ? byte0 : byte0 | (byte1 << 8);
            command = pairedCommand;
            break;
        case ProtocolSamsung32:
            address = byte0;
            command = pairedCommand;
            break;
        case ProtocolJvc:
            address = byte0;
            command = byte1;
            break;
        case ProtocolSharp:
            address = static_cast<int32_t>(data & 0x1F);
            command = static_cast<int32_t>((data >> 5) & 0xFF);
            break;
        case ProtocolSony:
            address = static_cast<int32_t>(data >> 7);
            command = static_cast<int32_t>(data & 0x7F);
            break;
        default:
            break;
    }
    FuzzCheck(frame.address == address && frame.command == command, "address or command");
    FuzzCheck(frame.toggle == kNoValue, "a toggle outside RC5 and RC6");
}

void CheckPulseFrame(const std::vector<uint8_t>& stream, const DecodedFrame& frame,
                     const PulseProtocol& shape)
{
    int32_t bits = shape.bits;
    if (frame.protocol == ProtocolSony) {
        FuzzCheck(frame.bits == 12 || frame.bits == 15 || frame.bits == 20, "Sony frame length");
        bits = frame.bits - 1;  // the last bit runs into the pause
    } else {
        FuzzCheck(frame.bits == shape.bits, "bit count");
    }
    FuzzCheck(bits == 64 || frame.data < (uint64_t{1} << bits), "data wider than its bits");
    const int32_t leaderBytes = shape.leaders[0] > 0 ? 1 : 0;
    int32_t frameBytes = leaderBytes + bits;
    if (frame.protocol == ProtocolSharp) frameBytes = 2 * bits + 1;  // the pair and its pause
    int32_t repeatBytes = 0;
    if (shape.repeats == kRepeatLeader) repeatBytes = 1;
    if (shape.repeats == kRepeatBits) repeatBytes = bits;
    FuzzCheck(shape.repeats != kNoRepeats || frame.repeats == 0, "repeats of a protocol without");
    FuzzCheck(frame.repeats >= 0, "repeats");
    const int64_t span = frameBytes + static_cast<int64_t>(frame.repeats) * (1 + repeatBytes);
    FuzzCheck(frame.end - frame.start == span, "span of the frame and its repeats");
    if (frame.end - frame.start != span) return;

    if (leaderBytes > 0) {
        const uint8_t leader = stream[frame.start];
        FuzzCheck(Fits(leader, shape.leaders[0]) ||
                      (shape.leaders[1] > 0 && Fits(leader, shape.leaders[1])),
                  "leader interval");
    }
    uint64_t read = 0;
    uint64_t either = 0;
    FuzzCheck(ReadBits(stream, frame.start + leaderBytes, shape, bits, &read, &either),
              "a bit interval fits neither 0 nor 1");
    FuzzCheck(SameBits(read, either, frame.data), "data against the bit intervals");
    if (frame.protocol == ProtocolSharp) {
        FuzzCheck((frame.data & kSharpExpansionBit) != 0 && (frame.data & kSharpCheckBit) == 0,
                  "Sharp expansion and check bits");
        uint64_t second = 0;
        uint64_t secondEither = 0;
        FuzzCheck(ReadBits(stream, frame.start + bits + 1, shape, bits, &second, &secondEither),
                  "Sharp second frame's bit intervals");
        FuzzCheck(SameBits(second, secondEither, frame.data ^ kSharpInvertedBits),
                  "Sharp second frame is not the first inverted");
    }
    for (int32_t repeat = 0; repeat < frame.repeats; ++repeat) {
        // Each repeat follows the pause after the frame or repeat before.
        const int64_t at = frame.start + frameBytes + repeat * (1 + repeatBytes) + 1;
        if (shape.repeats == kRepeatLeader) {
            FuzzCheck(Fits(stream[at], shape.repeatLeader), "repeat frame interval");
        } else {
            FuzzCheck(ReadBits(stream, at, shape, bits, &read, &either) &&
                          SameBits(read, either, frame.data),
                      "JVC repeat: not the frame's bits");
        }
    }
    CheckPulseFields(frame);
}

// Bi-phase: every interval is 2, 3 or 4 half-bit times (RC6: up to 6,
// around its double-width toggle bit, after the leader of 8).
struct BiPhaseProtocol {
    int32_t protocol;
    double halfBit;
    double leaderHalfBits;  // 0: none
    int32_t shortest;       // half-bit times
    int32_t longest;
    int32_t bits;
};

const BiPhaseProtocol kBiPhaseProtocols[] = {
    {ProtocolRc5, 889, 0, 2, 4, 14},
    {ProtocolRc6, 444.444, 8, 2, 6, 21},
};

bool FitsHalfBits(uint8_t value, const BiPhaseProtocol& shape)
{
    for (int32_t halfBits = shape.shortest; halfBits <= shape.longest; ++halfBits) {
        if (Fits(value, halfBits * shape.halfBit)) return true;
    }
    return false;
}

void CheckBiPhaseFrame(const std::vector<uint8_t>& stream, const DecodedFrame& frame,
                       const BiPhaseProtocol& shape)
{
    FuzzCheck(frame.bits == shape.bits && frame.repeats == 0, "bi-phase bits or repeats");
    FuzzCheck(frame.data < (uint64_t{1} << shape.bits), "data wider than its bits");
    // At least one interval per two bits, at most one per bit (and the
    // leader).
    const int64_t length = frame.end - frame.start;
    FuzzCheck(length >= 1 && length <= shape.bits + 1, "bi-phase frame length");
    int64_t at = frame.start;
    if (shape.leaderHalfBits > 0) {
        FuzzCheck(Fits(stream[at], shape.leaderHalfBits * shape.halfBit), "RC6 leader");
        ++at;
    }
    for (; at < frame.end; ++at) {
        FuzzCheck(FitsHalfBits(stream[at], shape), "bi-phase interval");
    }
    const uint64_t data = frame.data;
    if (frame.protocol == ProtocolRc5) {
        FuzzCheck(((data >> 13) & 1) == 1, "RC5 first start bit");
        const bool secondStart = ((data >> 12) & 1) != 0;
        FuzzCheck(frame.toggle == static_cast<int32_t>((data >> 11) & 1) &&
                      frame.address == static_cast<int32_t>((data >> 6) & 0x1F) &&
                      frame.command == static_cast<int32_t>(data & 0x3F) + (secondStart ? 0 : 64),
                  "RC5 fields");
    } else {
        FuzzCheck(((data >> 17) & 0xF) == 0x8, "RC6 start and mode bits");
        FuzzCheck(frame.toggle == static_cast<int32_t>((data >> 16) & 1) &&
                      frame.address == static_cast<int32_t>((data >> 8) & 0xFF) &&
                      frame.command == static_cast<int32_t>(data & 0xFF),
                  "RC6 fields");
    }
}

}  // namespace

void CheckDecodedFrame(const std::vector<uint8_t>& stream, const DecodedFrame& frame)
{
    FuzzCheck(frame.start >= 0 && frame.start < frame.end &&
                  frame.end <= static_cast<int64_t>(stream.size()),
              "frame outside the stream");
    FuzzCheck(frame.errorPercent >= 0 && frame.errorPercent <= kLargestErrorPercent,
              "error beyond 25 %");
    for (const PulseProtocol& shape : kPulseProtocols) {
        if (shape.protocol == frame.protocol) return CheckPulseFrame(stream, frame, shape);
    }
    for (const BiPhaseProtocol& shape : kBiPhaseProtocols) {
        if (shape.protocol == frame.protocol) return CheckBiPhaseFrame(stream, frame, shape);
    }
    FuzzCheck(false, "unknown protocol");
}
