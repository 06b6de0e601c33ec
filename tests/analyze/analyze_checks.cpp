#include "analyze_checks.h"

#include <algorithm>
#include <cstdio>

namespace {

// Nominal intervals in us that may appear inside a frame of each protocol
// (pauses aside), from the protocols' timings.
struct ProtocolTimes {
    int32_t protocol;
    std::vector<double> intervals;
};

const double kRc5T = 889;
const double kRc6T = 444.444;

const std::vector<ProtocolTimes>& AllTimes() {
    static const std::vector<ProtocolTimes> times = {
        {ProtocolNec, {13500, 11250, 1125, 2250}},
        {ProtocolSamsung32, {9000, 1120, 2250}},
        {ProtocolJvc, {12600, 1050, 2100}},
        {ProtocolLg, {13500, 12600, 11250, 1120, 2250}},
        {ProtocolKaseikyo, {5184, 864, 1728}},
        {ProtocolSharp, {1000, 2000}},
        {ProtocolSony, {3000, 1200, 1800}},
        {ProtocolRc5, {2 * kRc5T, 3 * kRc5T, 4 * kRc5T}},
        {ProtocolRc6, {8 * kRc6T, 2 * kRc6T, 3 * kRc6T, 4 * kRc6T, 5 * kRc6T, 6 * kRc6T}},
    };
    return times;
}

bool FitsProtocol(int32_t protocol, uint8_t value) {
    for (const ProtocolTimes& entry : AllTimes()) {
        if (entry.protocol != protocol) {
            continue;
        }
        for (double us : entry.intervals) {
            const double ticks = us / 64.0;
            if (value >= ticks * 0.75 && value <= std::min(ticks * 1.25, 255.0)) {
                return true;
            }
        }
    }
    return false;
}

// Offsets inside a frame's span that are pauses, not intervals of it.
bool IsPauseInside(const DecodedFrame& frame, int64_t offset) {
    switch (frame.protocol) {
        case ProtocolNec:
        case ProtocolLg: {
            const int64_t first = frame.protocol == ProtocolNec ? 33 : 29;
            return offset >= first && (offset - first) % 2 == 0;
        }
        case ProtocolJvc:
            return offset >= 17 && (offset - 17) % 17 == 0;
        case ProtocolSharp:
            return offset == 15;
        default:
            return false;
    }
}

}  // namespace

std::vector<StreamEvent> AnalyzeWhole(const std::vector<uint8_t>& bytes) {
    StreamAnalyzer analyzer;
    std::vector<StreamEvent> events;
    FeedStreamAnalyzer(&analyzer, bytes.data(), bytes.size(), &events);
    FinishStreamAnalyzer(&analyzer, &events);
    return events;
}

std::vector<StreamEvent> AnalyzeInPieces(const std::vector<uint8_t>& bytes, const std::vector<size_t>& pieces) {
    StreamAnalyzer analyzer;
    std::vector<StreamEvent> events;
    size_t at = 0;
    for (size_t i = 0; at < bytes.size(); ++i) {
        const size_t size = std::min(pieces[i % pieces.size()], bytes.size() - at);
        FeedStreamAnalyzer(&analyzer, bytes.data() + at, size, &events);
        at += size;
    }
    FinishStreamAnalyzer(&analyzer, &events);
    return events;
}

std::vector<DecodedFrame> FramesOf(const std::vector<StreamEvent>& events) {
    std::vector<DecodedFrame> frames;
    for (const StreamEvent& event : events) {
        if (event.kind == StreamFrameEvent) {
            frames.push_back(event.frame);
        }
    }
    return frames;
}

std::string DescribeEvents(const std::vector<StreamEvent>& events) {
    std::string text;
    char line[200];
    for (const StreamEvent& event : events) {
        if (event.kind == StreamFrameEvent) {
            const DecodedFrame& f = event.frame;
            std::snprintf(line, sizeof line, "frame %lld-%lld %s bits %d data %s addr %d cmd %d rep %d tog %d err %.3f\n",
                          static_cast<long long>(f.start), static_cast<long long>(f.end),
                          DescribeProtocol(f.protocol).name, f.bits, FormatFrameData(f).c_str(), f.address,
                          f.command, f.repeats, f.toggle, f.errorPercent);
        } else {
            std::snprintf(line, sizeof line, "unknown %lld +%zu\n", static_cast<long long>(event.unknown.start),
                          event.unknown.bytes.size());
        }
        text += line;
    }
    return text;
}

std::string FindUnsoundEvent(const std::vector<uint8_t>& bytes, const std::vector<StreamEvent>& events) {
    int64_t next = 0;  // the earliest index the next event may start at
    bool afterFrame = false;
    char text[200];
    for (const StreamEvent& event : events) {
        const int64_t start = event.kind == StreamFrameEvent ? event.frame.start : event.unknown.start;
        // Only the pause after a frame lies outside every event.
        if (start < next || start > next + (afterFrame ? 1 : 0)) {
            std::snprintf(text, sizeof text, "event at %lld, expected at %lld", static_cast<long long>(start),
                          static_cast<long long>(next));
            return text;
        }
        if (event.kind == StreamUnknownEvent) {
            const UnknownRun& run = event.unknown;
            if (run.bytes.empty() || start + static_cast<int64_t>(run.bytes.size()) > static_cast<int64_t>(bytes.size()) ||
                !std::equal(run.bytes.begin(), run.bytes.end(), bytes.begin() + start)) {
                return "unknown run differs from the bytes at " + std::to_string(start);
            }
            next = start + static_cast<int64_t>(run.bytes.size());
            afterFrame = false;
            continue;
        }
        const DecodedFrame& frame = event.frame;
        if (frame.end <= frame.start || frame.end > static_cast<int64_t>(bytes.size())) {
            return "frame span out of the stream at " + std::to_string(start);
        }
        for (int64_t i = frame.start; i < frame.end; ++i) {
            if (!IsPauseInside(frame, i - frame.start) && !FitsProtocol(frame.protocol, bytes[static_cast<size_t>(i)])) {
                std::snprintf(text, sizeof text, "%s frame at %lld: byte %lld (%u) fits no window",
                              DescribeProtocol(frame.protocol).name, static_cast<long long>(start),
                              static_cast<long long>(i), bytes[static_cast<size_t>(i)]);
                return text;
            }
        }
        if (frame.errorPercent < 0 || frame.errorPercent > 25.0) {
            return "error out of the windows at " + std::to_string(start);
        }
        next = frame.end;
        afterFrame = true;
    }
    return "";
}
