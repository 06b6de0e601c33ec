// The --json form: JSON Lines, one object per frame and per unknown run,
// then one summary object per capture.  Keys and their order are a
// contract with the scripts that parse them; no key is added or moved.

#include "analyze_report.h"

#include <cinttypes>
#include <cmath>

namespace {

// address, command and toggle: an integer, or null for kNoValue.
void PrintJsonValue(FILE* out, int32_t value)
{
    if (value == kNoValue) {
        std::fputs("null", out);
    } else {
        std::fprintf(out, "%d", static_cast<int>(value));
    }
}

// One decimal; a value that is no finite number would make the line
// unparsable, and a deviation is never negative.
double JsonPercent(double percent)
{
    if (!std::isfinite(percent) || percent < 0) return 0;
    return percent;
}

}  // namespace

void PrintJsonFrame(FILE* out, const DecodedFrame& frame)
{
    std::fprintf(out, "{\"type\":\"frame\",\"start\":%" PRId64 ",\"protocol\":\"%s\",\"bits\":%d,"
                      "\"data\":\"%s\",\"address\":",
                 frame.start, DescribeProtocol(frame.protocol).name, static_cast<int>(frame.bits),
                 FormatFrameData(frame).c_str());
    PrintJsonValue(out, frame.address);
    std::fputs(",\"command\":", out);
    PrintJsonValue(out, frame.command);
    std::fprintf(out, ",\"repeats\":%d,\"toggle\":", static_cast<int>(frame.repeats));
    PrintJsonValue(out, frame.toggle);
    std::fprintf(out, ",\"error_pct\":%.1f}\n", JsonPercent(frame.errorPercent));
}

void PrintJsonUnknown(FILE* out, const UnknownRun& run)
{
    std::fprintf(out, "{\"type\":\"unknown\",\"start\":%" PRId64 ",\"intervals_us\":[", run.start);
    for (size_t index = 0; index < run.bytes.size(); ++index) {
        std::fprintf(out, index == 0 ? "%d" : ",%d", static_cast<int>(run.bytes[index]) * kMicrosecondsPerTick);
    }
    std::fputs("]}\n", out);
}

void PrintJsonSummary(FILE* out, const AnalyzeReport& report)
{
    std::fprintf(out, "{\"type\":\"summary\",\"frames\":%" PRId64 ",\"unknown\":%" PRId64
                      ",\"codes\":[",
                 report.frames, report.unknownRuns);
    bool first = true;
    for (const CodeCount& code : report.codes) {
        DecodedFrame frame;
        frame.protocol = code.protocol;
        frame.bits = code.bits;
        frame.data = code.data;
        std::fprintf(out, "%s{\"protocol\":\"%s\",\"address\":", first ? "" : ",",
                     DescribeProtocol(code.protocol).name);
        PrintJsonValue(out, code.address);
        std::fputs(",\"command\":", out);
        PrintJsonValue(out, code.command);
        std::fprintf(out, ",\"data\":\"%s\",\"count\":%" PRId64 "}", FormatFrameData(frame).c_str(),
                     code.count);
        first = false;
    }
    std::fputs("]}\n", out);
}
