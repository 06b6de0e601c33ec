// The text form: a title per capture, one line per press, the unknown runs
// with their intervals, then the summary table and the closing hint.
// Columns are fixed, so that the lines of a capture line up and scripts
// that cut columns keep working.

#include "analyze_report.h"

#include <cinttypes>

namespace {

constexpr char kFrameHeading[] =
    "    offset  protocol   bits  address  command  toggle  data          repeats  error\n";
constexpr char kCodeHeading[] = "  protocol   bits  address  command  data          count\n";
constexpr char kNoValueText[] = "-";
// Intervals of an unknown run per line (the line stays within 80
// columns), and the indent of the lines after the first (under the first
// interval).
constexpr size_t kIntervalsPerLine = 9;
constexpr char kIntervalIndent[] = "                      ";

// A value in at least `digits` hexadecimal digits (more when it needs
// them: an NEC address above 0xFF shows all four), or "-".
std::string FormatHexField(int32_t value, int32_t digits)
{
    if (value == kNoValue) return kNoValueText;
    char text[16];
    std::snprintf(text, sizeof text, "%0*" PRIX32, static_cast<int>(digits),
                  static_cast<uint32_t>(value));
    return text;
}

std::string FormatToggle(int32_t toggle)
{
    if (toggle == kNoValue) return kNoValueText;
    return std::to_string(toggle);
}

const char* PluralS(int64_t count)
{
    return count == 1 ? "" : "s";
}

}  // namespace

void PrintTextTitle(FILE* out, const std::string& name)
{
    std::fprintf(out, "%s\n%s", name.c_str(), kFrameHeading);
}

void PrintTextFrame(FILE* out, const DecodedFrame& frame, int64_t count)
{
    const ProtocolInfo& info = DescribeProtocol(frame.protocol);
    std::fprintf(out, "%10" PRId64 "  %-9s  %4d  %-7s  %-7s  %-6s  %-12s  %7d  %4.1f%%",
                 frame.start, info.name, static_cast<int>(frame.bits),
                 FormatHexField(frame.address, info.addressDigits).c_str(),
                 FormatHexField(frame.command, info.commandDigits).c_str(),
                 FormatToggle(frame.toggle).c_str(), FormatFrameData(frame).c_str(),
                 static_cast<int>(frame.repeats), frame.errorPercent);
    if (count > 1) std::fprintf(out, "  x%" PRId64, count);
    std::fputc('\n', out);
}

void PrintTextUnknown(FILE* out, const UnknownRun& run)
{
    std::fprintf(out, "%10" PRId64 "  %-9s ", run.start, "unknown");
    for (size_t index = 0; index < run.bytes.size(); ++index) {
        if (index > 0 && index % kIntervalsPerLine == 0) std::fprintf(out, "\n%s", kIntervalIndent);
        std::fprintf(out, " %5d", static_cast<int>(run.bytes[index]) * kMicrosecondsPerTick);
    }
    std::fputs(" us\n", out);
}

std::string DescribeUnknownHint(const UnknownHint& hint)
{
    char text[128];
    switch (hint.shape) {
        case UnknownPulseDistance:
            if (hint.leaderMicroseconds > 0) {
                std::snprintf(text, sizeof text, "pulse distance with %d bits after a %d us leader",
                              static_cast<int>(hint.bits),
                              static_cast<int>(hint.leaderMicroseconds));
            } else {
                std::snprintf(text, sizeof text, "pulse distance with %d bits, no leader",
                              static_cast<int>(hint.bits));
            }
            return text;
        case UnknownBiPhase:
            std::snprintf(text, sizeof text, "bi-phase with a half-bit time of %d us",
                          static_cast<int>(hint.halfBitMicroseconds));
            return text;
        case UnknownTooShort: return "too short to tell";
        default: return "no regular shape";
    }
}

void PrintTextSummary(FILE* out, const AnalyzeReport& report)
{
    std::fprintf(out, "summary: %" PRId64 " frame%s, %" PRId64 " unknown run%s\n", report.frames,
                 PluralS(report.frames), report.unknownRuns, PluralS(report.unknownRuns));
    if (!report.codes.empty()) std::fputs(kCodeHeading, out);
    for (const CodeCount& code : report.codes) {
        DecodedFrame frame;
        frame.protocol = code.protocol;
        frame.bits = code.bits;
        frame.data = code.data;
        const ProtocolInfo& info = DescribeProtocol(code.protocol);
        std::fprintf(out, "  %-9s  %4d  %-7s  %-7s  %-12s  %5" PRId64 "\n", info.name,
                     static_cast<int>(code.bits),
                     FormatHexField(code.address, info.addressDigits).c_str(),
                     FormatHexField(code.command, info.commandDigits).c_str(),
                     FormatFrameData(frame).c_str(), code.count);
    }
    for (const HintCount& counted : report.hints) {
        std::fprintf(out, "hint: %" PRId64 " unknown run%s: %s\n", counted.count,
                     PluralS(counted.count), DescribeUnknownHint(counted.hint).c_str());
    }
    // An empty line before the next capture's title.
    std::fputc('\n', out);
}
