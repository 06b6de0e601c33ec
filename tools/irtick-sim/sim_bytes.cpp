// Byte encoding: the receiver's byte for each burst-to-burst interval, sent
// when the interval ends, with the intervals varied by --jitter.

#include "sim_bursts.h"

namespace {

// The receiver's counter is 8 bits wide.
constexpr int64_t kCounterMask = 0xFF;
constexpr int32_t kPercent = 100;

// An interval varied at random within +-percent of its length.
int64_t JitteredInterval(int64_t interval, int32_t percent, std::mt19937* random) {
    int64_t spread = interval * percent / kPercent;
    if (spread <= 0) {
        return interval;
    }
    std::uniform_int_distribution<int64_t> offset(-spread, spread);
    return interval + offset(*random);
}

}  // namespace

uint8_t IntervalByte(int64_t intervalMicroseconds) {
    int64_t ticks = (intervalMicroseconds + kTickMicroseconds / 2) / kTickMicroseconds;
    return static_cast<uint8_t>(ticks & kCounterMask);
}

void AppendEvents(const std::vector<Burst>& bursts, int32_t jitterPercent, std::mt19937* random,
                  EventCursor* cursor, std::vector<SendEvent>* events) {
    for (const Burst& burst : bursts) {
        if (!cursor->hasPreviousBurst) {
            // The first burst of the run ends no interval.
            cursor->hasPreviousBurst = true;
            cursor->previousNominalMicroseconds = burst.startMicroseconds;
            cursor->previousSentMicroseconds = burst.startMicroseconds;
            continue;
        }
        if (IsSameBurst(true, cursor->previousNominalMicroseconds, burst)) {
            continue;
        }
        int64_t interval = burst.startMicroseconds - cursor->previousNominalMicroseconds;
        uint8_t value = 0;
        if (burst.recordedByte == kMeasuredBurst) {
            interval = JitteredInterval(interval, jitterPercent, random);
            value = IntervalByte(interval);
        } else {
            value = static_cast<uint8_t>(burst.recordedByte);
        }
        cursor->previousNominalMicroseconds = burst.startMicroseconds;
        cursor->previousSentMicroseconds += interval;
        events->push_back(SendEvent{cursor->previousSentMicroseconds, value});
    }
}

int64_t SentTimeOf(const EventCursor& cursor, int64_t nominalMicroseconds) {
    if (!cursor.hasPreviousBurst) {
        return nominalMicroseconds;
    }
    return nominalMicroseconds + cursor.previousSentMicroseconds -
           cursor.previousNominalMicroseconds;
}
