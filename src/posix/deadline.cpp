#include "deadline.h"

#include <cerrno>
#include <climits>
#include <ctime>

namespace {

constexpr int64_t kNanosecondsPerMillisecond = 1000000;
constexpr int64_t kNanosecondsPerSecond = 1000000000;
// Far enough ahead to be "never" for any wait of this program, small enough
// that adding it to a clock reading cannot overflow.
constexpr int64_t kLongestWaitMilliseconds = INT64_C(1) << 40;

int64_t ClampWait(int64_t milliseconds) {
    if (milliseconds < 0) {
        return 0;
    }
    if (milliseconds > kLongestWaitMilliseconds) {
        return kLongestWaitMilliseconds;
    }
    return milliseconds;
}

}  // namespace

int64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

int64_t MonotonicMilliseconds() {
    return MonotonicNanoseconds() / kNanosecondsPerMillisecond;
}

Deadline MakeDeadline(int64_t milliseconds) {
    return DeadlineAfter(Deadline{MonotonicNanoseconds()}, milliseconds);
}

Deadline DeadlineAfter(Deadline from, int64_t milliseconds) {
    return Deadline{from.atNanoseconds + ClampWait(milliseconds) * kNanosecondsPerMillisecond};
}

Deadline EarlierDeadline(Deadline first, Deadline second) {
    return first.atNanoseconds <= second.atNanoseconds ? first : second;
}

int64_t RemainingMilliseconds(Deadline deadline) {
    int64_t left = deadline.atNanoseconds - MonotonicNanoseconds();
    if (left <= 0) {
        return 0;
    }
    return (left + kNanosecondsPerMillisecond - 1) / kNanosecondsPerMillisecond;
}

int RemainingPollMilliseconds(Deadline deadline) {
    int64_t left = RemainingMilliseconds(deadline);
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

bool HasExpired(Deadline deadline) {
    return MonotonicNanoseconds() >= deadline.atNanoseconds;
}

void SleepUntil(Deadline deadline) {
    timespec until{};
    until.tv_sec = static_cast<time_t>(deadline.atNanoseconds / kNanosecondsPerSecond);
    until.tv_nsec = static_cast<long>(deadline.atNanoseconds % kNanosecondsPerSecond);
    // An absolute wake-up time makes a restart after a signal sleep only
    // what is left, without adding up rounding from relative restarts.
    // clock_nanosleep returns the error number instead of setting errno.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void SleepMilliseconds(int64_t milliseconds) {
    if (milliseconds <= 0) {
        return;
    }
    SleepUntil(MakeDeadline(milliseconds));
}
