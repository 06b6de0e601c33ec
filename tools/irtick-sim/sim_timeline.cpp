// The timeline: the burst starts that each item stands for, and where the
// next item begins.

#include "sim_bursts.h"

namespace {

void AppendPauseBursts(const SimItem& item, int64_t start, std::vector<Burst>*, int64_t* end) {
    *end = start + item.pauseMicroseconds;
}

void AppendMicrosBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                        int64_t* end) {
    int64_t at = start;
    AddBurst(bursts, at);
    for (int64_t interval : item.intervalsMicroseconds) {
        at += interval;
        AddBurst(bursts, at);
    }
    *end = at;
}

void AppendFileBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                      int64_t* end) {
    int64_t at = start;
    if (!item.recordedBytes.empty()) {
        // The burst that the first recorded interval starts from.
        AddBurst(bursts, at);
    }
    for (uint8_t byte : item.recordedBytes) {
        at += byte * kTickMicroseconds;
        AddBurst(bursts, at, byte);
    }
    *end = at;
}

struct BurstMaker {
    int32_t kind;
    void (*append)(const SimItem& item, int64_t start, std::vector<Burst>* bursts, int64_t* end);
};

const BurstMaker kBurstMakers[] = {
    {SimNecItem, AppendPulseDistanceBursts},
    {SimSonyItem, AppendPulseDistanceBursts},
    {SimSamsungItem, AppendPulseDistanceBursts},
    {SimJvcItem, AppendPulseDistanceBursts},
    {SimLgItem, AppendPulseDistanceBursts},
    {SimKaseikyoItem, AppendPulseDistanceBursts},
    {SimSharpItem, AppendPulseDistanceBursts},
    {SimRc5Item, AppendBiphaseBursts},
    {SimRc6Item, AppendBiphaseBursts},
    {SimPauseItem, AppendPauseBursts},
    {SimMicrosItem, AppendMicrosBursts},
    {SimFileItem, AppendFileBursts},
};

}  // namespace

bool IsSameBurst(bool hasPrevious, int64_t previousMicroseconds, const Burst& burst) {
    return hasPrevious && burst.recordedByte == kMeasuredBurst &&
           burst.startMicroseconds == previousMicroseconds;
}

void AddBurst(std::vector<Burst>* bursts, int64_t startMicroseconds, int32_t recordedByte) {
    Burst burst{startMicroseconds, recordedByte};
    bool hasPrevious = !bursts->empty();
    if (IsSameBurst(hasPrevious, hasPrevious ? bursts->back().startMicroseconds : 0, burst)) {
        return;
    }
    bursts->push_back(burst);
}

void AppendItemBursts(const SimItem& item, int64_t startMicroseconds, std::vector<Burst>* bursts,
                      int64_t* endMicroseconds) {
    *endMicroseconds = startMicroseconds;
    for (const BurstMaker& maker : kBurstMakers) {
        if (maker.kind == item.kind) {
            maker.append(item, startMicroseconds, bursts, endMicroseconds);
        }
    }
}

Timeline BuildTimeline(const std::vector<SimItem>& items, int64_t startMicroseconds) {
    Timeline timeline{{}, startMicroseconds};
    for (const SimItem& item : items) {
        AppendItemBursts(item, timeline.endMicroseconds, &timeline.bursts,
                         &timeline.endMicroseconds);
    }
    return timeline;
}
