// The --sim form: each press as the irtick-sim item that sends it again.
//
// The items are formed from the frame's protocol, bits, data and repeats
// only (the address and command follow from the data), so a replay gives
// the same data.  Where no item sends that data (an NEC frame whose command
// byte is not followed by its complement, a Samsung32 frame whose address
// is not sent twice, a Sharp pair with other expansion and check bits) the
// frame is written as a us: item of its nominal intervals.  Sony frames
// never measure their last bit, so the item's last bit is 0: the replay
// measures the same.

#include "analyze_report.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr uint32_t kByteMask = 0xFF;

// Nominal periods (burst start to burst start) in microseconds.
struct PulseDistanceTiming {
    int64_t leader;  // 0: none
    int64_t zero;
    int64_t one;
};
constexpr PulseDistanceTiming kNecTiming = {13500, 1125, 2250};
constexpr PulseDistanceTiming kSamsungTiming = {9000, 1120, 2250};
constexpr PulseDistanceTiming kSharpTiming = {0, 1000, 2000};
constexpr int64_t kNecRepeatLeader = 11250;
constexpr int64_t kNecFramePeriod = 108000;  // leader to leader, also of repeats
constexpr int64_t kSharpPairPeriod = 40000;  // first frame's start to the second's
constexpr int32_t kPulseDistanceBits = 32;
constexpr int32_t kSharpBits = 15;
// Sharp: bits 5..14 (command, expansion, check) are inverted in the second
// frame; an item sends expansion 1 and check 0.
constexpr uint64_t kSharpInvertedBits = 0x7FE0;
constexpr uint64_t kSharpItemExpansionCheck = 0x2000;
constexpr uint64_t kSharpExpansionCheckMask = 0x6000;

uint32_t DataByte(uint64_t data, int32_t index)
{
    return static_cast<uint32_t>(data >> (8 * index)) & kByteMask;
}

bool IsComplement(uint32_t byte, uint32_t other)
{
    return (byte ^ other) == kByteMask;
}

// The LSB-first periods of `bits` bits after the leader; the us: item puts
// a burst after each, the last one the closing burst.
void AppendPulseDistance(const PulseDistanceTiming& timing, uint64_t data, int32_t bits,
                         std::vector<int64_t>* periods)
{
    if (timing.leader > 0) periods->push_back(timing.leader);
    for (int32_t bit = 0; bit < bits; ++bit) {
        periods->push_back(((data >> bit) & 1u) ? timing.one : timing.zero);
    }
}

int64_t SumOf(const std::vector<int64_t>& periods, size_t from)
{
    int64_t sum = 0;
    for (size_t index = from; index < periods.size(); ++index) sum += periods[index];
    return sum;
}

std::string FormMicrosItem(const std::vector<int64_t>& periods)
{
    std::string item = "us:";
    for (size_t index = 0; index < periods.size(); ++index) {
        if (index > 0) item += ',';
        item += std::to_string(periods[index]);
    }
    return item;
}

std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

std::string Format(const char* format, ...)
{
    char text[96];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string FormNec(const DecodedFrame& frame, int32_t)
{
    const uint64_t data = frame.data;
    const uint32_t address = DataByte(data, 0) | DataByte(data, 1) << 8;
    const bool complementedCommand = IsComplement(DataByte(data, 2), DataByte(data, 3));
    if (complementedCommand && IsComplement(DataByte(data, 0), DataByte(data, 1))) {
        return Format("nec:0x%02X:0x%02X:%d", DataByte(data, 0), DataByte(data, 2),
                      static_cast<int>(frame.repeats));
    }
    if (complementedCommand && address > kByteMask) {
        return Format("nec:0x%04X:0x%02X:%d", address, DataByte(data, 2),
                      static_cast<int>(frame.repeats));
    }
    std::vector<int64_t> periods;
    AppendPulseDistance(kNecTiming, data, kPulseDistanceBits, &periods);
    // Each repeat frame's leader comes one frame period after the last.
    int64_t sinceLeader = SumOf(periods, 0);
    for (int32_t repeat = 0; repeat < frame.repeats; ++repeat) {
        periods.push_back(kNecFramePeriod - sinceLeader);
        periods.push_back(kNecRepeatLeader);
        sinceLeader = kNecRepeatLeader;
    }
    return FormMicrosItem(periods);
}

bool IsSamsungItemData(uint64_t data)
{
    return DataByte(data, 0) == DataByte(data, 1) && IsComplement(DataByte(data, 2), DataByte(data, 3));
}

std::string FormSamsung(const DecodedFrame& frame, int32_t times)
{
    if (IsSamsungItemData(frame.data)) {
        return Format("samsung:0x%02X:0x%02X:%d", DataByte(frame.data, 0), DataByte(frame.data, 2),
                      static_cast<int>(times));
    }
    std::vector<int64_t> periods;
    AppendPulseDistance(kSamsungTiming, frame.data, kPulseDistanceBits, &periods);
    return FormMicrosItem(periods);
}

std::string FormJvc(const DecodedFrame& frame, int32_t)
{
    return Format("jvc:0x%02X:0x%02X:%d", DataByte(frame.data, 0), DataByte(frame.data, 1),
                  static_cast<int>(frame.repeats));
}

std::string FormLg(const DecodedFrame& frame, int32_t)
{
    return Format("lg:0x%07" PRIX64 ":%d", frame.data, static_cast<int>(frame.repeats));
}

std::string FormKaseikyo(const DecodedFrame& frame, int32_t)
{
    return Format("kaseikyo:0x%04" PRIX64 ":0x%08" PRIX64, frame.data & 0xFFFF,
                  (frame.data >> 16) & 0xFFFFFFFFu);
}

std::string FormSharp(const DecodedFrame& frame, int32_t)
{
    const uint64_t data = frame.data;
    if ((data & kSharpExpansionCheckMask) == kSharpItemExpansionCheck) {
        return Format("sharp:0x%02X:0x%02X", static_cast<unsigned>(data & 0x1F),
                      static_cast<unsigned>((data >> 5) & kByteMask));
    }
    std::vector<int64_t> periods;
    AppendPulseDistance(kSharpTiming, data, kSharpBits, &periods);
    periods.push_back(kSharpPairPeriod - SumOf(periods, 0));
    AppendPulseDistance(kSharpTiming, data ^ kSharpInvertedBits, kSharpBits, &periods);
    return FormMicrosItem(periods);
}

std::string FormSony(const DecodedFrame& frame, int32_t times)
{
    const unsigned command = static_cast<unsigned>(frame.data & 0x7F);
    const unsigned high = static_cast<unsigned>(frame.data >> 7);
    switch (frame.bits) {
        case 15: return Format("sony15:0x%02X:0x%02X:%d", command, high & 0x7F, static_cast<int>(times));
        case 20:
            return Format("sony20:0x%02X:0x%02X:0x%02X:%d", command, high & 0x1F,
                          (high >> 5) & 0x7F, static_cast<int>(times));
        default: return Format("sony12:0x%02X:0x%02X:%d", command, high & 0x0F, static_cast<int>(times));
    }
}

// RC5: bit 12 the second start bit (0: command bit 6 set), 11 the toggle,
// 10..6 the address, 5..0 the command.
std::string FormRc5(const DecodedFrame& frame, int32_t)
{
    const uint64_t data = frame.data;
    const unsigned command =
        static_cast<unsigned>(data & 0x3F) | (((data >> 12) & 1u) ? 0u : 0x40u);
    return Format("rc5:0x%02X:0x%02X:%u", static_cast<unsigned>((data >> 6) & 0x1F), command,
                  static_cast<unsigned>((data >> 11) & 1u));
}

// RC6 mode 0: bit 16 the toggle, 15..8 the address, 7..0 the command.
std::string FormRc6(const DecodedFrame& frame, int32_t)
{
    const uint64_t data = frame.data;
    return Format("rc6:0x%02X:0x%02X:%u", static_cast<unsigned>((data >> 8) & kByteMask),
                  static_cast<unsigned>(data & kByteMask), static_cast<unsigned>((data >> 16) & 1u));
}

using SimItemForm = std::string (*)(const DecodedFrame&, int32_t);

// Indexed by IrProtocol.
const SimItemForm kSimItemForms[kProtocolCount] = {
    FormNec, FormSamsung, FormJvc, FormLg, FormKaseikyo, FormSharp, FormSony, FormRc5, FormRc6,
};

}  // namespace

std::string FormSimItems(const DecodedFrame& frame, int32_t times)
{
    if (frame.protocol < 0 || frame.protocol >= kProtocolCount) return std::string();
    return kSimItemForms[frame.protocol](frame, times);
}

bool JoinsSimItem(const PendingSimItem& item, const DecodedFrame& next)
{
    const DecodedFrame& first = item.frame;
    const bool counted = first.protocol == ProtocolSony ||
                         (first.protocol == ProtocolSamsung32 && IsSamsungItemData(first.data));
    return counted && next.protocol == first.protocol && next.bits == first.bits &&
           next.data == first.data;
}
