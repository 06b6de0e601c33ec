// The timeline: the burst starts that each item stands for, and where the
// next item begins.

#include "sim_bursts.h"

namespace {

// NEC: a leader of 9 ms burst + 4.5 ms space, bits of a 562.5 us burst in a
// period of 1.125 ms (0) or 2.25 ms (1), a 562.5 us stop burst; a repeat
// frame is 9 ms burst + 2.25 ms space + 562.5 us burst; frames and repeat
// frames start 108 ms apart.  Only burst starts matter to the receiver.
constexpr int64_t kNecLeaderMicroseconds = 13500;
constexpr int64_t kNecZeroBitMicroseconds = 1125;
constexpr int64_t kNecOneBitMicroseconds = 2250;
constexpr int64_t kNecRepeatLeaderMicroseconds = 11250;
constexpr int64_t kNecFramePeriodMicroseconds = 108000;
constexpr int32_t kNecCodeBits = 32;
constexpr uint32_t kNecShortAddressLargest = 0xFF;
constexpr uint32_t kByteMask = 0xFF;

// Sony (SIRC): a 2.4 ms start burst, then per bit a 0.6 ms space and a
// 1.2 ms (1) or 0.6 ms (0) burst; frames start 45 ms apart.
constexpr int64_t kSonyStartMicroseconds = 3000;
constexpr int64_t kSonyZeroBitMicroseconds = 1200;
constexpr int64_t kSonyOneBitMicroseconds = 1800;
constexpr int64_t kSonyFramePeriodMicroseconds = 45000;
constexpr int32_t kSonyCommandBits = 7;

// The 32 bits of an NEC frame, first bit sent in bit 0.
uint32_t NecCode(const SimItem& item) {
    uint32_t address = item.address;
    if (address <= kNecShortAddressLargest) {
        address |= (~address & kByteMask) << 8;
    }
    uint32_t command = item.command | ((~item.command & kByteMask) << 8);
    return address | (command << 16);
}

void AppendNecBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                     int64_t* end) {
    uint32_t code = NecCode(item);
    AddBurst(bursts, start);
    int64_t at = start + kNecLeaderMicroseconds;
    for (int32_t bit = 0; bit < kNecCodeBits; bit++) {
        AddBurst(bursts, at);
        at += ((code >> bit) & 1u) ? kNecOneBitMicroseconds : kNecZeroBitMicroseconds;
    }
    AddBurst(bursts, at);  // stop burst
    int64_t leader = start;
    for (uint32_t repeat = 0; repeat < item.count; repeat++) {
        leader += kNecFramePeriodMicroseconds;
        AddBurst(bursts, leader);
        AddBurst(bursts, leader + kNecRepeatLeaderMicroseconds);
    }
    *end = leader + kNecFramePeriodMicroseconds;
}

void AppendSonyBursts(const SimItem& item, int64_t start, std::vector<Burst>* bursts,
                      int64_t* end) {
    uint32_t code = item.command | (item.address << kSonyCommandBits) |
                    (item.extended << (kSonyCommandBits + item.addressBits));
    int32_t bits = kSonyCommandBits + item.addressBits + item.extendedBits;
    int64_t frame = start;
    for (uint32_t time = 0; time < item.count; time++) {
        AddBurst(bursts, frame);
        int64_t at = frame + kSonyStartMicroseconds;
        for (int32_t bit = 0; bit < bits; bit++) {
            AddBurst(bursts, at);
            at += ((code >> bit) & 1u) ? kSonyOneBitMicroseconds : kSonyZeroBitMicroseconds;
        }
        frame += kSonyFramePeriodMicroseconds;
    }
    *end = frame;
}

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
    {SimNecItem, AppendNecBursts},
    {SimSonyItem, AppendSonyBursts},
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
