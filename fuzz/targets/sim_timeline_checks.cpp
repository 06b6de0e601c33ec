#include "targets/sim_timeline_checks.h"

#include <random>

#include "support/fuzz_input.h"

namespace {

constexpr int64_t kPercent = 100;
constexpr int64_t kCounterValues = 256;

// us: and file: put their bursts exactly: one at the start (unless the
// burst before is at that time already), one after each interval.
void CheckListBursts(const SimItem& item, int64_t start, const std::vector<Burst>& before,
                     const std::vector<Burst>& added)
{
    std::vector<Burst> expected;
    const bool startShared = !before.empty() && before.back().startMicroseconds == start &&
                             item.kind == SimMicrosItem;
    int64_t at = start;
    if (item.kind == SimMicrosItem) {
        if (!startShared) expected.push_back(Burst{at, kMeasuredBurst});
        for (int64_t interval : item.intervalsMicroseconds) {
            at += interval;
            expected.push_back(Burst{at, kMeasuredBurst});
        }
    } else {
        if (!item.recordedBytes.empty()) {
            const bool shared = !before.empty() && before.back().startMicroseconds == start;
            if (!shared) expected.push_back(Burst{at, kMeasuredBurst});
        }
        for (uint8_t byte : item.recordedBytes) {
            at += byte * kTickMicroseconds;
            expected.push_back(Burst{at, byte});
        }
    }
    FuzzCheck(added.size() == expected.size(), "us:/file: burst count");
    for (size_t i = 0; i < added.size() && i < expected.size(); ++i) {
        FuzzCheck(added[i].startMicroseconds == expected[i].startMicroseconds &&
                      added[i].recordedByte == expected[i].recordedByte,
                  "us:/file: burst");
    }
}

std::vector<Burst> CheckedTimeline(const std::vector<SimItem>& items, int64_t* end)
{
    std::vector<Burst> bursts;
    int64_t start = 0;
    for (const SimItem& item : items) {
        const std::vector<Burst> before = bursts;
        int64_t itemEnd = 0;
        AppendItemBursts(item, start, &bursts, &itemEnd);
        FuzzCheck(itemEnd >= start, "an item ends before it starts");
        const std::vector<Burst> added(bursts.begin() + static_cast<std::ptrdiff_t>(before.size()),
                                       bursts.end());
        for (const Burst& burst : added) {
            FuzzCheck(burst.startMicroseconds >= start && burst.startMicroseconds <= itemEnd,
                      "a burst outside its item");
            FuzzCheck(burst.recordedByte >= kMeasuredBurst && burst.recordedByte <= 255,
                      "recorded byte");
        }
        if (item.kind == SimMicrosItem || item.kind == SimFileItem) {
            CheckListBursts(item, start, before, added);
        }
        start = itemEnd;
    }
    for (size_t i = 1; i < bursts.size(); ++i) {
        const int64_t step = bursts[i].startMicroseconds - bursts[i - 1].startMicroseconds;
        FuzzCheck(step > 0 || (step == 0 && bursts[i].recordedByte != kMeasuredBurst),
                  "bursts out of time order");
    }
    *end = start;
    return bursts;
}

uint8_t RoundedTicksByte(int64_t interval)
{
    const int64_t ticks = (interval + kTickMicroseconds / 2) / kTickMicroseconds;
    return static_cast<uint8_t>(ticks % kCounterValues);
}

void CheckEventsWithoutJitter(const std::vector<SimItem>& items, const std::vector<Burst>& bursts)
{
    std::vector<SendEvent> events;
    EventCursor cursor;
    // Without jitter the random generator is never used: none is given.
    AppendEvents(bursts, 0, nullptr, &cursor, &events);
    FuzzCheck(events.size() + (bursts.empty() ? 0 : 1) == bursts.size(), "one event per interval");
    for (size_t i = 0; i < events.size(); ++i) {
        const Burst& burst = bursts[i + 1];
        const int64_t interval = burst.startMicroseconds - bursts[i].startMicroseconds;
        const uint8_t expected = burst.recordedByte == kMeasuredBurst
                                     ? RoundedTicksByte(interval)
                                     : static_cast<uint8_t>(burst.recordedByte);
        FuzzCheck(events[i].value == expected, "event byte");
        FuzzCheck(events[i].sendMicroseconds == burst.startMicroseconds, "event time");
    }

    // Item by item through one cursor, as a looped script carries it.
    std::vector<SendEvent> byItem;
    EventCursor itemCursor;
    int64_t start = 0;
    for (const SimItem& item : items) {
        std::vector<Burst> itemBursts;
        AppendItemBursts(item, start, &itemBursts, &start);
        AppendEvents(itemBursts, 0, nullptr, &itemCursor, &byItem);
    }
    FuzzCheck(byItem.size() == events.size(), "events item by item: count");
    for (size_t i = 0; i < byItem.size() && i < events.size(); ++i) {
        FuzzCheck(byItem[i].value == events[i].value &&
                      byItem[i].sendMicroseconds == events[i].sendMicroseconds,
                  "events item by item");
    }
}

void CheckEventsWithJitter(const std::vector<Burst>& bursts, const SimOptions& options)
{
    std::mt19937 random(options.seed);
    std::vector<SendEvent> events;
    EventCursor cursor;
    AppendEvents(bursts, options.jitterPercent, &random, &cursor, &events);
    FuzzCheck(events.size() + (bursts.empty() ? 0 : 1) == bursts.size(), "one event per interval");
    int64_t previousSent = bursts.empty() ? 0 : bursts[0].startMicroseconds;
    for (size_t i = 0; i < events.size(); ++i) {
        const Burst& burst = bursts[i + 1];
        const int64_t nominal = burst.startMicroseconds - bursts[i].startMicroseconds;
        const int64_t sent = events[i].sendMicroseconds - previousSent;
        previousSent = events[i].sendMicroseconds;
        if (burst.recordedByte != kMeasuredBurst) {
            FuzzCheck(sent == nominal && events[i].value == burst.recordedByte,
                      "a recorded byte varied");
            continue;
        }
        const int64_t spread = nominal * options.jitterPercent / kPercent;
        FuzzCheck(sent >= nominal - spread && sent <= nominal + spread, "jitter beyond PCT");
        FuzzCheck(events[i].value == RoundedTicksByte(sent), "byte of a varied interval");
    }
}

}  // namespace

void CheckSimTimeline(const std::vector<SimItem>& items, const SimOptions& options)
{
    int64_t end = 0;
    const std::vector<Burst> bursts = CheckedTimeline(items, &end);
    const Timeline timeline = BuildTimeline(items, 0);
    FuzzCheck(timeline.endMicroseconds == end && timeline.bursts.size() == bursts.size(),
              "BuildTimeline against the items one by one");
    for (size_t i = 0; i < bursts.size(); ++i) {
        FuzzCheck(timeline.bursts[i].startMicroseconds == bursts[i].startMicroseconds &&
                      timeline.bursts[i].recordedByte == bursts[i].recordedByte,
                  "BuildTimeline burst");
    }
    CheckEventsWithoutJitter(items, bursts);
    if (options.jitterPercent > 0) CheckEventsWithJitter(bursts, options);
}
