// The read engine: ReadFile under the handle's three read time-outs.

#include "serial_handle.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

#include "deadline.h"

namespace {

// What one non-blocking read() gave.
enum class ReadOutcome { kBytes, kNothing, kGone };

// Takes what is waiting, up to `wanted` bytes, without blocking.
// `hangupSeen` says that the last poll() reported a hang-up or an error.
ReadOutcome ReadAvailable(const SerialHandle& port, unsigned char* destination, DWORD wanted,
                          bool hangupSeen, DWORD* received) {
    *received = 0;
    for (;;) {
        const ssize_t count = read(port.fd, destination, wanted);
        if (count > 0) {
            *received = static_cast<DWORD>(count);
            return ReadOutcome::kBytes;
        }
        if (count == 0) {
            // On a terminal whose VMIN and VTIME are both 0, read() gives 0
            // for "nothing yet" even without O_NONBLOCK; a terminal has
            // gone away only when poll() reports the hang-up as well.
            if (port.isTerminal && !hangupSeen) {
                pollfd probe{port.fd, POLLIN, 0};
                if (poll(&probe, 1, 0) <= 0 ||
                    (probe.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) {
                    return ReadOutcome::kNothing;
                }
            }
            return ReadOutcome::kGone;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return hangupSeen ? ReadOutcome::kGone : ReadOutcome::kNothing;
        }
        // Every other error: EIO when the master of a pseudo-terminal closed
        // or a USB adapter was pulled, ENXIO or ENODEV when the device is
        // no more, EBADFD, EISDIR, EBADF for a descriptor swapped or closed
        // under the handle.  A retry would fail again at once, so the
        // source reads as one that went away, and the caller keeps its
        // pace instead of spinning.
        return ReadOutcome::kGone;
    }
}

int64_t AsWait(uint64_t milliseconds) {
    return milliseconds > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX
                                                           : static_cast<int64_t>(milliseconds);
}

}  // namespace

BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    if (timeouts == nullptr) {
        return FailWith(EINVAL);
    }
    *timeouts = port->timeouts;
    return 1;
}

BOOL SetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    // An interval of MAXDWORD selects Win32's "return at once" and "return
    // at the first bytes" modes, which irtick never asks for.
    if (timeouts == nullptr || timeouts->ReadIntervalTimeout == MAXDWORD) {
        return FailWith(EINVAL);
    }
    port->timeouts = *timeouts;
    return 1;
}

// Ends a read of N bytes at the first of: N bytes received; more than the
// interval time-out after the last byte without a further one; the total
// time-out (multiplier x N + constant) counted from the start of the read.
// An interval of 0 sets no interval limit, both totals 0 no total limit.
//
// A source that has nothing more to give (end of file, a pseudo-terminal
// whose master closed, an unplugged adapter, a read that keeps failing)
// reads like a silent line: the read stops looking at it and returns what
// it has when the time-out that would end a silent line runs out.
// Without any time-out to wait for, such a read returns at once.
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
              void* overlapped) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        if (bytesRead != nullptr) {
            *bytesRead = 0;
        }
        return 0;
    }
    if (bytesRead == nullptr || overlapped != nullptr || (buffer == nullptr && bytesToRead != 0)) {
        return FailWith(EINVAL);
    }
    *bytesRead = 0;
    if (bytesToRead == 0) {
        return 1;
    }
    unsigned char* destination = static_cast<unsigned char*>(buffer);
    const COMMTIMEOUTS& timeouts = port->timeouts;
    const bool hasTotalLimit =
        timeouts.ReadTotalTimeoutMultiplier != 0 || timeouts.ReadTotalTimeoutConstant != 0;
    // Both factors are below 2^32, so the sum stays below 2^64.
    const uint64_t totalMilliseconds =
        static_cast<uint64_t>(timeouts.ReadTotalTimeoutMultiplier) * bytesToRead +
        timeouts.ReadTotalTimeoutConstant;
    const bool hasIntervalLimit = timeouts.ReadIntervalTimeout != 0;
    const Deadline totalEnd = MakeDeadline(AsWait(totalMilliseconds));
    Deadline intervalEnd = totalEnd;
    DWORD received = 0;
    bool hangupSeen = false;
    for (;;) {
        DWORD count = 0;
        const ReadOutcome outcome =
            ReadAvailable(*port, destination + received, bytesToRead - received, hangupSeen, &count);
        if (outcome == ReadOutcome::kBytes) {
            received += count;
            intervalEnd = MakeDeadline(timeouts.ReadIntervalTimeout);
        }
        if (received == bytesToRead) {
            break;
        }
        bool limited = hasTotalLimit;
        Deadline end = totalEnd;
        if (hasIntervalLimit && received > 0) {
            end = limited ? EarlierDeadline(end, intervalEnd) : intervalEnd;
            limited = true;
        }
        bool gone = outcome == ReadOutcome::kGone;
        if (!gone) {
            if (limited && HasExpired(end)) {
                break;
            }
            pollfd wait{port->fd, POLLIN, 0};
            const int ready = poll(&wait, 1, limited ? RemainingPollMilliseconds(end) : -1);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready == 0 && HasExpired(end)) {
                break;
            }
            // poll() itself failing, or POLLNVAL (the descriptor was closed
            // under the handle): nothing can be read any more.
            gone = ready < 0 || (wait.revents & POLLNVAL) != 0;
            hangupSeen = (wait.revents & (POLLHUP | POLLERR)) != 0;
        }
        if (gone) {
            if (limited) {
                SleepUntil(end);
            }
            break;
        }
    }
    *bytesRead = received;
    return 1;
}
