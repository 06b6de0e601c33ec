// Timed writing of a script's events, with SIGINT/SIGTERM as stop requests.
//
// Every wait is a ppoll() that unblocks the two stop signals only for its
// own duration.  clock_nanosleep(TIMER_ABSTIME) would wake as precisely,
// but a signal that arrived between the check of the stop flag and the
// sleep would not end the sleep; with the signals blocked everywhere else,
// ppoll takes a pending one at once.  The deadlines are absolute points on
// the monotonic clock (origin + send time), so the time left is worked out
// afresh before every wait and no error adds up over a long script.

#include "sim_player.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "deadline.h"

namespace {

constexpr int64_t kNanosecondsPerMicrosecond = 1000;
constexpr int64_t kNanosecondsPerSecond = 1000000000;
constexpr int64_t kNanosecondsPerMillisecond = 1000000;

// Bytes that fall due together (or all of them with --fast) go out in
// writes of up to this many.
constexpr size_t kLargestWrite = 256;

// At the end of a run on a pseudo-terminal: how often to look whether the
// reader has taken everything, and how many looks in a row must find the
// queue empty (bytes just written may still be on their way into it).
constexpr int64_t kDrainCheckMilliseconds = 10;
constexpr int32_t kDrainQuietChecks = 3;

volatile sig_atomic_t stopSignal = 0;
// The signal mask for the waits: the one we started with, minus the stop
// signals.
sigset_t waitMask;

const int kStopSignals[] = {SIGINT, SIGTERM};

void NoteStopSignal(int signalNumber) {
    stopSignal = signalNumber;
}

timespec TimespecOf(int64_t nanoseconds) {
    timespec span{};
    span.tv_sec = static_cast<time_t>(nanoseconds / kNanosecondsPerSecond);
    span.tv_nsec = static_cast<long>(nanoseconds % kNanosecondsPerSecond);
    return span;
}

// Lets a pending stop signal in without waiting.
void TakePendingSignals() {
    timespec none{};
    ppoll(nullptr, 0, &none, &waitMask);
}

// Waits until fd takes more bytes or a stop signal arrives.
int32_t WaitWritable(int fd) {
    pollfd port{fd, POLLOUT, 0};
    ppoll(&port, 1, nullptr, &waitMask);
    return stopSignal != 0 ? SimPlayStopped : SimPlayDone;
}

int32_t WriteAll(int fd, const uint8_t* bytes, size_t count, std::string* message) {
    while (count > 0) {
        if (stopSignal != 0) {
            return SimPlayStopped;
        }
        ssize_t written = write(fd, bytes, count);
        if (written > 0) {
            bytes += written;
            count -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitWritable(fd) == SimPlayStopped) {
                return SimPlayStopped;
            }
            continue;
        }
        *message = std::string("cannot write to the port: ") +
                   (written < 0 ? std::strerror(errno) : "nothing written");
        return SimPlayFailed;
    }
    return SimPlayDone;
}

int64_t DeadlineOf(int64_t originNanoseconds, int64_t sendMicroseconds) {
    return originNanoseconds + sendMicroseconds * kNanosecondsPerMicrosecond;
}

// At the end of a run: waits until the reader has taken every byte from the
// pseudo-terminal, because closing it throws away what is still queued.
// A real device gets its output drained.
int32_t WaitUntilTaken(const SimPort& port) {
    if (port.heldFd < 0) {
        if (isatty(port.writeFd) == 1) {
            tcdrain(port.writeFd);
        }
        return SimPlayDone;
    }
    int32_t quietChecks = 0;
    while (quietChecks < kDrainQuietChecks) {
        quietChecks = UnreadPortBytes(port) == 0 ? quietChecks + 1 : 0;
        int64_t next = MonotonicNanoseconds() + kDrainCheckMilliseconds * kNanosecondsPerMillisecond;
        if (WaitUntilNanoseconds(next) == SimPlayStopped) {
            return SimPlayStopped;
        }
    }
    return SimPlayDone;
}

uint32_t RunSeed(const SimOptions& options) {
    if (options.seedGiven) {
        return options.seed;
    }
    std::random_device source;
    return source();
}

}  // namespace

void InstallStopSignals() {
    sigset_t stopSet;
    sigemptyset(&stopSet);
    struct sigaction action {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the signal is to end the wait it interrupts.
    action.sa_flags = 0;
    for (int signalNumber : kStopSignals) {
        sigaction(signalNumber, &action, nullptr);
        sigaddset(&stopSet, signalNumber);
    }
    signal(SIGPIPE, SIG_IGN);
    sigprocmask(SIG_BLOCK, &stopSet, &waitMask);
    for (int signalNumber : kStopSignals) {
        sigdelset(&waitMask, signalNumber);
    }
}

int StopSignal() {
    return stopSignal;
}

int32_t WaitUntilNanoseconds(int64_t deadlineNanoseconds) {
    for (;;) {
        if (stopSignal != 0) {
            return SimPlayStopped;
        }
        int64_t left = deadlineNanoseconds - MonotonicNanoseconds();
        if (left <= 0) {
            return SimPlayDone;
        }
        timespec span = TimespecOf(left);
        ppoll(nullptr, 0, &span, &waitMask);
    }
}

int32_t WriteEvents(int fd, const std::vector<SendEvent>& events, int64_t originNanoseconds,
                    bool fast, std::string* message) {
    uint8_t chunk[kLargestWrite];
    size_t next = 0;
    while (next < events.size()) {
        if (!fast) {
            int64_t due = DeadlineOf(originNanoseconds, events[next].sendMicroseconds);
            if (WaitUntilNanoseconds(due) == SimPlayStopped) {
                return SimPlayStopped;
            }
        }
        // The next event is due; so may be others (a recorded 0, a wait
        // that woke late).
        int64_t now = MonotonicNanoseconds();
        size_t count = 0;
        while (next < events.size() && count < kLargestWrite &&
               (fast || DeadlineOf(originNanoseconds, events[next].sendMicroseconds) <= now)) {
            chunk[count++] = events[next++].value;
        }
        int32_t result = WriteAll(fd, chunk, count, message);
        if (result != SimPlayDone) {
            return result;
        }
    }
    return SimPlayDone;
}

int32_t PlayScript(const SimCommand& command, const SimPort& port, std::string* message) {
    const SimOptions& options = command.options;
    std::mt19937 random(RunSeed(options));
    EventCursor cursor;
    int64_t itemStart = 0;
    std::vector<Burst> bursts;
    std::vector<SendEvent> events;
    const int64_t origin = MonotonicNanoseconds();
    do {
        for (const SimItem& item : command.items) {
            // Also a looped script of pauses alone must stay stoppable
            // under --fast, where nothing waits.
            TakePendingSignals();
            if (stopSignal != 0) {
                return SimPlayStopped;
            }
            bursts.clear();
            events.clear();
            int64_t itemEnd = itemStart;
            AppendItemBursts(item, itemStart, &bursts, &itemEnd);
            AppendEvents(bursts, options.jitterPercent, &random, &cursor, &events);
            int32_t result = WriteEvents(port.writeFd, events, origin, options.fast, message);
            if (result != SimPlayDone) {
                return result;
            }
            itemStart = itemEnd;
        }
    } while (options.loop);
    if (!options.fast) {
        int64_t end = DeadlineOf(origin, SentTimeOf(cursor, itemStart));
        if (WaitUntilNanoseconds(end) == SimPlayStopped) {
            return SimPlayStopped;
        }
    }
    return WaitUntilTaken(port);
}
