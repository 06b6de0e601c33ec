// The --histogram form: how often each interval came, one bucket per
// receiver tick (64 us), as bars scaled to the terminal's width.  Rows run
// from the shortest interval seen to the longest; a stretch of empty
// buckets shows as one "..." row, so the clusters of a protocol's leader
// and bit periods stand out.

#include "analyze_report.h"

#include <cinttypes>
#include <string>

namespace {

// "  13504 us  211 |" before the bar, " 12345678" after it.
constexpr int32_t kRowPrefixWidth = 17;
constexpr int32_t kCountWidth = 9;
constexpr int32_t kNarrowestBar = 10;
// Fewer empty buckets than this in a row are shown as empty rows.
constexpr int32_t kGapRows = 3;
constexpr char kBarCharacter = '#';

}  // namespace

void PrintHistogram(FILE* out, const int64_t* byteCounts, int32_t width)
{
    int32_t lowest = kByteValueCount;
    int32_t highest = -1;
    int64_t largest = 0;
    int64_t total = 0;
    for (int32_t value = 0; value < kByteValueCount; ++value) {
        if (byteCounts[value] == 0) continue;
        if (lowest == kByteValueCount) lowest = value;
        highest = value;
        if (byteCounts[value] > largest) largest = byteCounts[value];
        total += byteCounts[value];
    }
    std::fprintf(out, "intervals: %" PRId64 "\n", total);
    if (total == 0) return;

    int32_t barWidth = width - kRowPrefixWidth - kCountWidth;
    if (barWidth < kNarrowestBar) barWidth = kNarrowestBar;
    int32_t emptyRun = 0;
    // Both ends are buckets that are not empty, so every stretch of empty
    // ones is shown before the bucket after it.
    for (int32_t value = lowest; value <= highest; ++value) {
        const int64_t count = byteCounts[value];
        if (count == 0) {
            ++emptyRun;
            continue;
        }
        if (emptyRun >= kGapRows) {
            std::fputs("      ...\n", out);
        } else {
            for (int32_t empty = value - emptyRun; empty < value; ++empty) {
                std::fprintf(out, "%7d us  %3d |\n", static_cast<int>(empty) * kMicrosecondsPerTick,
                             static_cast<int>(empty));
            }
        }
        emptyRun = 0;
        // At least one mark for a bucket that is not empty.
        int64_t length = count * barWidth / largest;
        if (length < 1) length = 1;
        std::fprintf(out, "%7d us  %3d |%s %" PRId64 "\n",
                     static_cast<int>(value) * kMicrosecondsPerTick, static_cast<int>(value),
                     std::string(static_cast<size_t>(length), kBarCharacter).c_str(), count);
    }
}
