// The benchmarks' traffic, from a fixed simulator script.

#include "bench_traffic.h"

#include <cstdint>
#include <random>
#include <vector>

#include "sim_script.h"

namespace {

// A button held on an NEC remote (a frame and three repeats), a Sony
// button, a second NEC press, another Sony button, a short rest.  Jitter
// of 5 % with a fixed seed: realistic intervals, the same every run.
const char* const kTrafficScript[] = {
    "irtick_bench",
    "--jitter", "5",
    "--seed", "1",
    "nec:0x00:0x45:3",
    "sony12:0x15:0x01:3",
    "nec:0x04:0x08:1",
    "sony12:0x12:0x01:3",
    "pause:40",
};
constexpr int kTrafficScriptLength = sizeof kTrafficScript / sizeof kTrafficScript[0];

// Long enough for every item of the script to come up many times.
constexpr int64_t kBytePatternMicroseconds = 20 * 1000 * 1000;

// The script's bytes with their send times, covering at least
// durationMicroseconds; empty if the script cannot be read.
std::vector<SendEvent> MakeTraffic(int64_t durationMicroseconds)
{
    std::vector<SendEvent> events;
    SimCommand command;
    std::string message;
    if (ParseSimCommandLine(kTrafficScriptLength, kTrafficScript, &command, &message) !=
        SimParseRun) {
        return events;
    }
    std::mt19937 random(command.options.seed);
    EventCursor cursor;
    int64_t itemStart = 0;
    std::vector<Burst> bursts;
    // The script over and over; the cursor carries the interval from the
    // last burst of one item to the first of the next.
    while (itemStart < durationMicroseconds) {
        for (const SimItem& item : command.items) {
            bursts.clear();
            int64_t itemEnd = itemStart;
            AppendItemBursts(item, itemStart, &bursts, &itemEnd);
            AppendEvents(bursts, command.options.jitterPercent, &random, &cursor, &events);
            itemStart = itemEnd;
        }
    }
    return events;
}

}  // namespace

std::string TrafficBytes(size_t count)
{
    const std::vector<SendEvent> traffic = MakeTraffic(kBytePatternMicroseconds);
    std::string bytes;
    if (traffic.empty()) return bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        for (const SendEvent& event : traffic) {
            if (bytes.size() == count) break;
            bytes.push_back(static_cast<char>(event.value));
        }
    }
    return bytes;
}
