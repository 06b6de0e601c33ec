// Monotonic time, deadlines and sleeping, in milliseconds.
//
// Every wait of the POSIX layers (the serial read, the console's key reads,
// Sleep) measures time here, on CLOCK_MONOTONIC, so that a change of the
// wall clock can neither cut a wait short nor stretch it.
//
// A Deadline is a point on the monotonic clock, kept in nanoseconds so that
// a wait of a few milliseconds does not lose up to a millisecond to
// rounding.  RemainingMilliseconds rounds up: a poll() for the remaining
// time never wakes before the deadline, and once it gives 0 the deadline
// has been reached.
//
// Typical use:
//
//     Deadline deadline = MakeDeadline(100);
//     while (!HasExpired(deadline)) {
//         int ready = poll(&pfd, 1, RemainingPollMilliseconds(deadline));
//         ...
//     }
#pragma once

#include <cstdint>

struct Deadline {
    // Point on the monotonic clock, nanoseconds since an arbitrary origin.
    int64_t atNanoseconds;
};

// Current reading of the monotonic clock.
int64_t MonotonicNanoseconds();
int64_t MonotonicMilliseconds();

// The deadline `milliseconds` from now (negative counts as 0).
Deadline MakeDeadline(int64_t milliseconds);
// The deadline `milliseconds` after `from` (negative counts as 0).
Deadline DeadlineAfter(Deadline from, int64_t milliseconds);
// The earlier of two deadlines.
Deadline EarlierDeadline(Deadline first, Deadline second);

// Time left until the deadline in milliseconds, rounded up; 0 once it has
// passed, never negative.
int64_t RemainingMilliseconds(Deadline deadline);
// The same, capped to what poll() takes as a time-out.
int RemainingPollMilliseconds(Deadline deadline);
bool HasExpired(Deadline deadline);

// Sleeps until the deadline; a signal that interrupts the sleep does not
// shorten it.
void SleepUntil(Deadline deadline);
// Sleeps the full `milliseconds` (0 or negative: returns at once), also
// when signals arrive meanwhile.
void SleepMilliseconds(int64_t milliseconds);
