// The monotonic deadlines and the sleep that every wait of the POSIX
// layers is measured with.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/time.h>
#include <time.h>

#include <chrono>
#include <climits>
#include <cstdint>

#include "deadline.h"

namespace {

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - start)
        .count();
}

TEST(DeadlineTest, RemainingTimeRoundsUpAndNeverGoesNegative) {
    Deadline ahead = MakeDeadline(50);
    int64_t left = RemainingMilliseconds(ahead);
    EXPECT_GT(left, 0);
    EXPECT_LE(left, 50);
    EXPECT_FALSE(HasExpired(ahead));

    // A wait for the remaining time reaches the deadline, also when less
    // than a millisecond is left (rounding down would give 0 and wake early).
    for (int64_t nanoseconds : {100000, 300000, 700000, 1300000}) {
        Deadline soon{MonotonicNanoseconds() + nanoseconds};
        poll(nullptr, 0, RemainingPollMilliseconds(soon));
        EXPECT_TRUE(HasExpired(soon)) << nanoseconds << " ns ahead";
    }

    Deadline past = Deadline{MonotonicNanoseconds() - 5000000000};
    EXPECT_EQ(RemainingMilliseconds(past), 0);
    EXPECT_EQ(RemainingPollMilliseconds(past), 0);
    EXPECT_TRUE(HasExpired(past));
    EXPECT_TRUE(HasExpired(MakeDeadline(-10)));
}

TEST(DeadlineTest, HugeWaitsStayPositiveAndFitPoll) {
    Deadline far = MakeDeadline(INT64_MAX);
    EXPECT_GT(RemainingMilliseconds(far), 0);
    EXPECT_EQ(RemainingPollMilliseconds(far), INT_MAX);
    Deadline near = MakeDeadline(10);
    EXPECT_EQ(EarlierDeadline(far, near).atNanoseconds, near.atNanoseconds);
    EXPECT_EQ(EarlierDeadline(near, far).atNanoseconds, near.atNanoseconds);
}

int64_t ClockNanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Every reading, in both units, and every deadline lie between two direct
// readings of CLOCK_MONOTONIC taken around it.  A unit on the wall clock
// (decades off) or on a process or thread CPU clock (far behind) falls
// outside the bracket; a wall-clock jump itself cannot be staged here.
TEST(DeadlineTest, MillisecondsFollowTheMonotonicClock) {
    constexpr int64_t kNanosecondsPerMillisecond = 1000000;
    constexpr int64_t kAheadMs = 30;
    for (int round = 0; round < 3; ++round) {
        const int64_t before = ClockNanoseconds(CLOCK_MONOTONIC);
        const int64_t nanoseconds = MonotonicNanoseconds();
        const int64_t milliseconds = MonotonicMilliseconds();
        const Deadline deadline = MakeDeadline(kAheadMs);
        const int64_t after = ClockNanoseconds(CLOCK_MONOTONIC);
        EXPECT_GE(nanoseconds, before);
        EXPECT_LE(nanoseconds, after);
        EXPECT_GE(milliseconds, before / kNanosecondsPerMillisecond);
        EXPECT_LE(milliseconds, after / kNanosecondsPerMillisecond);
        EXPECT_GE(deadline.atNanoseconds, before + kAheadMs * kNanosecondsPerMillisecond);
        EXPECT_LE(deadline.atNanoseconds, after + kAheadMs * kNanosecondsPerMillisecond);

        // The sleep ends on that clock's deadline, not earlier.
        SleepUntil(deadline);
        EXPECT_GE(ClockNanoseconds(CLOCK_MONOTONIC), deadline.atNanoseconds);
    }
}

void IgnoreSignal(int) {}

TEST(DeadlineTest, SleepLastsItsFullTimeThroughSignals) {
    struct sigaction action{};
    action.sa_handler = IgnoreSignal;  // no SA_RESTART
    struct sigaction previous{};
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    itimerval every3ms{{0, 3000}, {0, 3000}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every3ms, nullptr), 0);

    auto start = std::chrono::steady_clock::now();
    SleepMilliseconds(120);
    int64_t slept = MillisecondsSince(start);

    start = std::chrono::steady_clock::now();
    SleepUntil(MakeDeadline(80));
    int64_t sleptUntil = MillisecondsSince(start);

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);

    EXPECT_GE(slept, 120);
    EXPECT_LT(slept, 1000);
    EXPECT_GE(sleptUntil, 80);
}

TEST(DeadlineTest, NoSleepForNothing) {
    auto start = std::chrono::steady_clock::now();
    SleepMilliseconds(0);
    SleepMilliseconds(-100);
    SleepUntil(Deadline{MonotonicNanoseconds() - 1000000});
    EXPECT_LT(MillisecondsSince(start), 500);
}

}  // namespace
