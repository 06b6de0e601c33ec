#include "key_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "deadline.h"
#include "terminal_state.h"

namespace {

// Bytes taken from the terminal and not yet read as keys.  A key is at most
// a few bytes; the room holds keys typed in quick succession and the
// replies terminals send (colour reports are some 30 bytes).
constexpr size_t kPendingCapacity = 256;
unsigned char pendingBytes[kPendingCapacity];
size_t pendingCount = 0;
int heldSecondCode = kNoSecondCode;
// Set once the terminal has hung up or failed: it is not read again.
bool terminalFailed = false;
// The pending bytes begin a key whose rest is awaited until this deadline.
bool restAwaited = false;
Deadline restDeadline{};

enum TakeOutcome { kTakeOk, kTakeFailed };

// Moves into the pending bytes what the terminal has ready now (or, with
// waitMilliseconds > 0 or < 0 for no limit, what arrives within that time
// when nothing is ready).  Never blocks in read(): poll() says first that
// bytes are there, so a descriptor without O_NONBLOCK serves as well.
TakeOutcome TakeBytes(int fd, int waitMilliseconds)
{
    int timeout = waitMilliseconds;
    while (pendingCount < kPendingCapacity) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, timeout);
        if (polled < 0) {
            if (errno == EINTR) continue;
            return kTakeFailed;
        }
        if (polled == 0) return kTakeOk;
        // A hung-up terminal is readable for ever (read gives 0 or EIO);
        // the read below tells.
        const ssize_t got =
            read(fd, pendingBytes + pendingCount, kPendingCapacity - pendingCount);
        if (got > 0) {
            pendingCount += static_cast<size_t>(got);
            timeout = 0;  // then only what is there already
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kTakeOk;
        return kTakeFailed;  // end of file (hang-up) or a read error
    }
    return kTakeOk;
}

void TakeBytesNoting(int fd, int waitMilliseconds)
{
    if (TakeBytes(fd, waitMilliseconds) == kTakeFailed) terminalFailed = true;
}

void DropPendingBytes(size_t count)
{
    std::memmove(pendingBytes, pendingBytes + count, pendingCount - count);
    pendingCount -= count;
    restAwaited = false;
}

bool CanReadTerminal(int fd) { return fd >= 0 && !terminalFailed; }

// Parses the pending bytes until they begin with a whole key (true, the
// key in *key, its bytes still pending) or are used up or only begin one
// (false).  What makes no key is dropped on the way.  The rest of a key
// begun is awaited from the first time it is seen; once the wait is over,
// or no byte can come any more, the key is taken as it stands.
bool FindPendingKey(int fd, ParsedKey* key)
{
    while (pendingCount > 0) {
        const bool moreMayCome = CanReadTerminal(fd) && pendingCount < kPendingCapacity &&
                                 !(restAwaited && HasExpired(restDeadline));
        *key = ParseKeyBytes(pendingBytes, pendingCount, moreMayCome);
        if (key->outcome == kParsedKey) return true;
        if (key->outcome == kParsedNoKey) {
            DropPendingBytes(key->length);
            continue;
        }
        if (!restAwaited) {
            restAwaited = true;
            restDeadline = MakeDeadline(kKeyRestWaitMilliseconds);
        }
        return false;
    }
    return false;
}

int TakeKey(const ParsedKey& key)
{
    DropPendingBytes(key.length);
    heldSecondCode = key.secondCode;
    return key.firstCode;
}

// A process outside the terminal's foreground group that reads it is
// stopped (SIGTTIN); in the background no key belongs to this run.
bool MayReadNow(int fd) { return CanReadTerminal(fd) && IsInForegroundOf(fd); }

}  // namespace

bool IsKeyWaitingOn(int fd)
{
    if (heldSecondCode != kNoSecondCode) return true;
    if (MayReadNow(fd)) TakeBytesNoting(fd, 0);
    ParsedKey key{};
    return FindPendingKey(fd, &key);
}

int ReadKeyFrom(int fd)
{
    if (heldSecondCode != kNoSecondCode) {
        const int code = heldSecondCode;
        heldSecondCode = kNoSecondCode;
        return code;
    }
    for (;;) {
        ParsedKey key{};
        if (FindPendingKey(fd, &key)) return TakeKey(key);
        if (!CanReadTerminal(fd)) return -1;
        // Nothing pending: wait for a key, as a key read does when called
        // without a key test.  A key begun: wait for its rest.
        const int waitMilliseconds =
            pendingCount == 0 ? -1 : RemainingPollMilliseconds(restDeadline);
        TakeBytesNoting(fd, waitMilliseconds);
    }
}

void ForgetPendingKeys()
{
    pendingCount = 0;
    heldSecondCode = kNoSecondCode;
    terminalFailed = false;
    restAwaited = false;
}
