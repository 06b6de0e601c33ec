// The Win32 serial calls on Linux: open(), flock(), termios, ioctl() and
// poll().
//
// A HANDLE points to a SerialHandle record of ours, made by CreateFileA and
// freed by CloseHandle.  The record holds the descriptor and the read
// time-outs of that handle (Linux has no per-descriptor time-outs, so
// SetCommTimeouts keeps them here and ReadFile applies them).

#include "serial_api.h"

#include "deadline.h"
#include "raw_line.h"
#include "device_path.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// DCB values that the header leaves out because irtick does not use them;
// the line settings still read and accept them.
constexpr BYTE kMarkParity = 3;
constexpr BYTE kSpaceParity = 4;
constexpr BYTE kOneAndHalfStopBits = 1;

struct SerialHandle {
    int fd;
    // The descriptor refers to a terminal: the line calls apply, and a
    // read() of 0 bytes is not end of file by itself (see ReadAvailable).
    bool isTerminal;
    // TIOCEXCL was set on open and must be taken back on close.
    bool heldExclusive;
    COMMTIMEOUTS timeouts;
};

thread_local DWORD lastError = 0;

BOOL Fail(int error) {
    lastError = static_cast<DWORD>(error);
    return 0;
}

// The record behind a handle, or null (and the error set) for the two
// values that never name an open handle.
SerialHandle* HandleRecord(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        lastError = EBADF;
        return nullptr;
    }
    return static_cast<SerialHandle*>(handle);
}

struct BaudRate {
    DWORD bitsPerSecond;
    speed_t speed;
};

const BaudRate kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},
#ifdef B460800
    {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
};

bool SpeedForRate(DWORD bitsPerSecond, speed_t* speed) {
    for (const BaudRate& rate : kBaudRates) {
        if (rate.bitsPerSecond == bitsPerSecond) {
            *speed = rate.speed;
            return true;
        }
    }
    return false;
}

// 0 for B0 (hang up) and for speeds outside the table.
DWORD RateForSpeed(speed_t speed) {
    for (const BaudRate& rate : kBaudRates) {
        if (rate.speed == speed) {
            return rate.bitsPerSecond;
        }
    }
    return 0;
}

struct CharacterSize {
    BYTE byteSize;
    tcflag_t flag;
};

const CharacterSize kCharacterSizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};

struct ParityMode {
    BYTE parity;
    tcflag_t flags;
};

// Mark and space parity are the "stick" parities: CMSPAR with PARODD sends
// a 1, without it a 0.
const ParityMode kParityModes[] = {
    {NOPARITY, 0},
    {ODDPARITY, PARENB | PARODD},
    {EVENPARITY, PARENB},
    {kMarkParity, PARENB | CMSPAR | PARODD},
    {kSpaceParity, PARENB | CMSPAR},
};

constexpr tcflag_t kParityFlags = PARENB | PARODD | CMSPAR;

// The control flags that SetCommState decides, and so checks after
// applying them; the speed bits are checked through cfget*speed.
constexpr tcflag_t kCheckedControlFlags =
    CSIZE | kParityFlags | CSTOPB | CRTSCTS | CREAD | CLOCAL | HUPCL;

struct LineRequest {
    DWORD function;
    unsigned long request;
    int lines;
};

const LineRequest kLineRequests[] = {
    {SETRTS, TIOCMBIS, TIOCM_RTS},
    {CLRRTS, TIOCMBIC, TIOCM_RTS},
    {SETDTR, TIOCMBIS, TIOCM_DTR},
    {CLRDTR, TIOCMBIC, TIOCM_DTR},
};

// Builds the control flags of the DCB's framing; false for a framing the
// DCB cannot mean.
bool FramingFlags(const DCB& dcb, tcflag_t* flags) {
    tcflag_t result = 0;
    bool sizeKnown = false;
    for (const CharacterSize& size : kCharacterSizes) {
        if (size.byteSize == dcb.ByteSize) {
            result |= size.flag;
            sizeKnown = true;
        }
    }
    bool parityKnown = false;
    for (const ParityMode& mode : kParityModes) {
        if (mode.parity == dcb.Parity) {
            result |= mode.flags;
            parityKnown = true;
        }
    }
    if (!sizeKnown || !parityKnown) {
        return false;
    }
    // A UART sends 1.5 stop bits for "two stop bits" with 5 data bits, and
    // only then; Win32 pairs them the same way.
    if (dcb.StopBits == TWOSTOPBITS ||
        (dcb.StopBits == kOneAndHalfStopBits && dcb.ByteSize == 5)) {
        result |= CSTOPB;
    } else if (dcb.StopBits != ONESTOPBIT) {
        return false;
    }
    *flags = result;
    return true;
}

// Features of the DCB that Linux has no means for.  Accepting them would
// report a setting as made that the port does not keep.
bool AsksForUnsupportedFeature(const DCB& dcb) {
    return dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fErrorChar || dcb.fNull ||
           dcb.fAbortOnError || dcb.fDtrControl == DTR_CONTROL_HANDSHAKE ||
           dcb.fRtsControl == RTS_CONTROL_TOGGLE;
}

bool SameLineSettings(const termios& wanted, const termios& actual) {
    if (wanted.c_iflag != actual.c_iflag || wanted.c_oflag != actual.c_oflag ||
        wanted.c_lflag != actual.c_lflag ||
        (wanted.c_cflag & kCheckedControlFlags) != (actual.c_cflag & kCheckedControlFlags) ||
        wanted.c_cc[VMIN] != actual.c_cc[VMIN] || wanted.c_cc[VTIME] != actual.c_cc[VTIME]) {
        return false;
    }
    if (cfgetospeed(&wanted) != cfgetospeed(&actual)) {
        return false;
    }
    // An input speed of 0 means "as the output speed".
    speed_t inputSpeed = cfgetispeed(&actual);
    return inputSpeed == 0 || inputSpeed == cfgetispeed(&wanted);
}

// What one non-blocking read() gave.
enum class ReadOutcome { kBytes, kNothing, kGone, kError };

// Takes what is waiting, up to `wanted` bytes, without blocking.
// `hangupSeen` says that the last poll() reported a hang-up or an error.
ReadOutcome ReadAvailable(const SerialHandle& port, unsigned char* destination, DWORD wanted,
                          bool hangupSeen, DWORD* received) {
    *received = 0;
    for (;;) {
        ssize_t count = read(port.fd, destination, wanted);
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
        switch (errno) {
            case EINTR:
                continue;
            case EAGAIN:
#if EWOULDBLOCK != EAGAIN
            case EWOULDBLOCK:
#endif
                return hangupSeen ? ReadOutcome::kGone : ReadOutcome::kNothing;
            // EIO: the master of a pseudo-terminal was closed, or a USB
            // adapter was pulled.  ENXIO, ENODEV: the device is no more.
            case EIO:
            case ENXIO:
            case ENODEV:
                return ReadOutcome::kGone;
            default:
                lastError = static_cast<DWORD>(errno);
                return ReadOutcome::kError;
        }
    }
}

// When and how a read under a handle's time-outs ends.
struct ReadPlan {
    // Take what is waiting and return, however little it is.
    bool returnAtOnce;
    // Wait for the first byte, then return what is there.
    bool returnAtFirstBytes;
    bool hasTotalLimit;
    uint64_t totalMilliseconds;
    bool hasIntervalLimit;
    uint64_t intervalMilliseconds;
};

ReadPlan PlanRead(const COMMTIMEOUTS& timeouts, DWORD bytesToRead) {
    ReadPlan plan{};
    DWORD interval = timeouts.ReadIntervalTimeout;
    DWORD multiplier = timeouts.ReadTotalTimeoutMultiplier;
    DWORD constant = timeouts.ReadTotalTimeoutConstant;
    if (interval == MAXDWORD && multiplier == 0 && constant == 0) {
        plan.returnAtOnce = true;
        return plan;
    }
    if (interval == MAXDWORD && multiplier == MAXDWORD && constant != 0 && constant != MAXDWORD) {
        plan.returnAtFirstBytes = true;
        plan.hasTotalLimit = true;
        plan.totalMilliseconds = constant;
        return plan;
    }
    // Both factors are below 2^32, so the sum stays below 2^64.
    plan.hasTotalLimit = multiplier != 0 || constant != 0;
    plan.totalMilliseconds = static_cast<uint64_t>(multiplier) * bytesToRead + constant;
    plan.hasIntervalLimit = interval != 0;
    plan.intervalMilliseconds = interval;
    return plan;
}

int64_t AsWait(uint64_t milliseconds) {
    return milliseconds > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX
                                                           : static_cast<int64_t>(milliseconds);
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   void* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    int accessMode = 0;
    switch (desiredAccess & (GENERIC_READ | GENERIC_WRITE)) {
        case GENERIC_READ | GENERIC_WRITE:
            accessMode = O_RDWR;
            break;
        case GENERIC_READ:
            accessMode = O_RDONLY;
            break;
        case GENERIC_WRITE:
            accessMode = O_WRONLY;
            break;
        default:
            Fail(EINVAL);
            return INVALID_HANDLE_VALUE;
    }
    // Only existing devices and files are opened; nothing is ever created.
    if (fileName == nullptr || creationDisposition != OPEN_EXISTING) {
        Fail(EINVAL);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = MapDevicePath(fileName);
    // O_NOCTTY: the port must not become the controlling terminal of the
    // process.  O_NONBLOCK: without CLOCAL (which the line settings only
    // set later) the open of a serial port waits for carrier detect; the
    // descriptor stays non-blocking and ReadFile waits in poll().
    int fd = open(path.c_str(), accessMode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return INVALID_HANDLE_VALUE;
    }
    bool isTerminal = isatty(fd) == 1;
    bool heldExclusive = false;
    if (shareMode == 0) {
        // flock binds every other program that takes the lock, another
        // irtick among them (EWOULDBLOCK, 11); TIOCEXCL makes the kernel
        // refuse every further open of the terminal (EBUSY, 16), except
        // by root.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            close(fd);
            Fail(error);
            return INVALID_HANDLE_VALUE;
        }
        if (isTerminal) {
            if (ioctl(fd, TIOCEXCL) != 0) {
                int error = errno;
                close(fd);
                Fail(error);
                return INVALID_HANDLE_VALUE;
            }
            heldExclusive = true;
        }
    }
    SerialHandle* port = new (std::nothrow) SerialHandle{fd, isTerminal, heldExclusive, {}};
    if (port == nullptr) {
        if (heldExclusive) {
            ioctl(fd, TIOCNXCL);
        }
        close(fd);
        Fail(ENOMEM);
        return INVALID_HANDLE_VALUE;
    }
    return port;
}

BOOL GetCommState(HANDLE file, DCB* dcb) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    if (dcb == nullptr) {
        return Fail(EINVAL);
    }
    termios line{};
    if (tcgetattr(port->fd, &line) != 0) {
        return Fail(errno);
    }
    std::memset(dcb, 0, sizeof *dcb);
    dcb->DCBlength = sizeof *dcb;
    dcb->BaudRate = RateForSpeed(cfgetospeed(&line));
    // Linux never acts on an end-of-file character in raw input.
    dcb->fBinary = 1;
    dcb->fParity = (line.c_iflag & INPCK) != 0;
    bool hardwareFlow = (line.c_cflag & CRTSCTS) != 0;
    dcb->fOutxCtsFlow = hardwareFlow;
    dcb->fOutX = (line.c_iflag & IXON) != 0;
    dcb->fInX = (line.c_iflag & IXOFF) != 0;
    // A terminal without modem lines (a pseudo-terminal) reports both low.
    int modemLines = 0;
    if (ioctl(port->fd, TIOCMGET, &modemLines) != 0) {
        modemLines = 0;
    }
    dcb->fDtrControl = (modemLines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    if (hardwareFlow) {
        dcb->fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else {
        dcb->fRtsControl = (modemLines & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    for (const CharacterSize& size : kCharacterSizes) {
        if ((line.c_cflag & CSIZE) == size.flag) {
            dcb->ByteSize = size.byteSize;
        }
    }
    for (const ParityMode& mode : kParityModes) {
        // PARODD and CMSPAR mean nothing without PARENB.
        tcflag_t parity = line.c_cflag & kParityFlags;
        if ((parity & PARENB) == 0) {
            parity = 0;
        }
        if (parity == mode.flags) {
            dcb->Parity = mode.parity;
        }
    }
    if (line.c_cflag & CSTOPB) {
        dcb->StopBits = dcb->ByteSize == 5 ? kOneAndHalfStopBits : TWOSTOPBITS;
    } else {
        dcb->StopBits = ONESTOPBIT;
    }
    dcb->XonChar = static_cast<char>(line.c_cc[VSTART]);
    dcb->XoffChar = static_cast<char>(line.c_cc[VSTOP]);
    return 1;
}

BOOL SetCommState(HANDLE file, DCB* dcb) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    if (dcb == nullptr) {
        return Fail(EINVAL);
    }
    speed_t speed = B0;
    tcflag_t framing = 0;
    if (!SpeedForRate(dcb->BaudRate, &speed) || !FramingFlags(*dcb, &framing) ||
        AsksForUnsupportedFeature(*dcb)) {
        return Fail(EINVAL);
    }
    termios previous{};
    if (tcgetattr(port->fd, &previous) != 0) {
        return Fail(errno);
    }
    termios line = previous;
    // A raw line from a known state, then what the DCB asks for on top of
    // it: its framing, flow control and parity checking.  No input
    // processing of any other kind, so every byte arrives as sent.
    MakeRawLine(&line, speed);
    if (dcb->fParity && (framing & PARENB)) {
        line.c_iflag |= INPCK;
    }
    if (dcb->fOutX) {
        line.c_iflag |= IXON;
    }
    if (dcb->fInX) {
        line.c_iflag |= IXOFF;
    }
    // HUPCL stays off: the kernel would lower DTR and RTS when the port
    // closes, and the lines must move only on explicit requests; a run
    // ended by Ctrl+C leaves the receiver powered.
    // The framing replaces the raw line's 8N1; the speed bits that Linux
    // keeps in c_cflag stay.
    line.c_cflag = (line.c_cflag & ~CSIZE) | framing;
    if (dcb->fOutxCtsFlow || dcb->fRtsControl == RTS_CONTROL_HANDSHAKE) {
        line.c_cflag |= CRTSCTS;
    }
    line.c_cc[VSTART] = static_cast<cc_t>(dcb->XonChar);
    line.c_cc[VSTOP] = static_cast<cc_t>(dcb->XoffChar);
    if (tcsetattr(port->fd, TCSANOW, &line) != 0) {
        return Fail(errno);
    }
    // tcsetattr succeeds when the driver took any part of the request; a
    // driver that cannot do a setting (a pseudo-terminal has no parity,
    // some adapters no mark parity) quietly keeps another.
    termios actual{};
    if (tcgetattr(port->fd, &actual) != 0) {
        return Fail(errno);
    }
    if (!SameLineSettings(line, actual)) {
        // A refused setting leaves the line as it was, not half changed.
        tcsetattr(port->fd, TCSANOW, &previous);
        return Fail(EINVAL);
    }
    // The lines are set only now, after the termios: Linux raises DTR and
    // RTS when a port opens and again when its speed leaves 0, so lowering
    // them any earlier could be undone by the tcsetattr above.
    int lower = 0;
    int raise = 0;
    if (dcb->fDtrControl == DTR_CONTROL_DISABLE) {
        lower |= TIOCM_DTR;
    } else if (dcb->fDtrControl == DTR_CONTROL_ENABLE) {
        raise |= TIOCM_DTR;
    }
    // Under RTS_CONTROL_HANDSHAKE the kernel drives RTS itself (CRTSCTS).
    if (dcb->fRtsControl == RTS_CONTROL_DISABLE) {
        lower |= TIOCM_RTS;
    } else if (dcb->fRtsControl == RTS_CONTROL_ENABLE) {
        raise |= TIOCM_RTS;
    }
    // Both lines in one request, so that they change together.
    if (lower != 0 && ioctl(port->fd, TIOCMBIC, &lower) != 0) {
        return Fail(errno);
    }
    if (raise != 0 && ioctl(port->fd, TIOCMBIS, &raise) != 0) {
        return Fail(errno);
    }
    return 1;
}

BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    if (timeouts == nullptr) {
        return Fail(EINVAL);
    }
    *timeouts = port->timeouts;
    return 1;
}

BOOL SetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    if (timeouts == nullptr) {
        return Fail(EINVAL);
    }
    port->timeouts = *timeouts;
    return 1;
}

BOOL SetCommMask(HANDLE file, DWORD /*eventMask*/) {
    // No line events are ever waited for, so there is nothing to arm.
    return HandleRecord(file) != nullptr;
}

BOOL EscapeCommFunction(HANDLE file, DWORD function) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    for (const LineRequest& line : kLineRequests) {
        if (line.function == function) {
            int lines = line.lines;
            if (ioctl(port->fd, line.request, &lines) != 0) {
                return Fail(errno);
            }
            return 1;
        }
    }
    return Fail(EINVAL);
}

BOOL CloseHandle(HANDLE object) {
    SerialHandle* port = HandleRecord(object);
    if (port == nullptr) {
        return 0;
    }
    // The exclusive mark belongs to the terminal, not to this descriptor:
    // it would outlive the close wherever the terminal stays open
    // elsewhere (the master of a pseudo-terminal keeps its slave alive) and
    // lock the next opener out.
    if (port->heldExclusive) {
        ioctl(port->fd, TIOCNXCL);
    }
    // Closing the last descriptor of the open file also drops the flock.
    // Linux frees the descriptor even when close() reports an error.
    int result = close(port->fd);
    int error = errno;
    delete port;
    if (result != 0) {
        return Fail(error);
    }
    return 1;
}

DWORD GetLastError() {
    return lastError;
}

void Sleep(DWORD milliseconds) {
    SleepMilliseconds(milliseconds);
}

// Ends a read of N bytes at the first of: N bytes received; more than the
// interval time-out after the last byte without a further one; the total
// time-out (multiplier x N + constant) counted from the start of the read.
// An interval of MAXDWORD with both totals 0 returns at once with what is
// waiting; interval and multiplier MAXDWORD with a constant between them
// wait up to the constant for the first bytes and return with them; both
// totals 0 set no total limit.
//
// A source that has nothing more to give (end of file, a pseudo-terminal
// whose master closed, an unplugged adapter) reads like a silent line: the
// read stops looking at it and returns what it has when the time-out that
// would end a silent line runs out.  So a caller that reads in a loop
// keeps its pace instead of spinning.  Without any time-out to wait for,
// such a read returns at once.
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
        return Fail(EINVAL);
    }
    *bytesRead = 0;
    if (bytesToRead == 0) {
        return 1;
    }
    unsigned char* destination = static_cast<unsigned char*>(buffer);
    const ReadPlan plan = PlanRead(port->timeouts, bytesToRead);
    const Deadline start = MakeDeadline(0);
    const Deadline totalEnd = DeadlineAfter(start, AsWait(plan.totalMilliseconds));
    Deadline intervalEnd = start;
    DWORD received = 0;
    bool hangupSeen = false;
    for (;;) {
        DWORD count = 0;
        ReadOutcome outcome =
            ReadAvailable(*port, destination + received, bytesToRead - received, hangupSeen, &count);
        if (outcome == ReadOutcome::kError) {
            *bytesRead = received;
            return 0;
        }
        if (outcome == ReadOutcome::kBytes) {
            received += count;
            intervalEnd = MakeDeadline(AsWait(plan.intervalMilliseconds));
        }
        const bool gone = outcome == ReadOutcome::kGone;
        if (received == bytesToRead || plan.returnAtOnce ||
            (plan.returnAtFirstBytes && received > 0)) {
            break;
        }
        bool limited = plan.hasTotalLimit;
        Deadline end = totalEnd;
        if (plan.hasIntervalLimit && received > 0) {
            end = limited ? EarlierDeadline(end, intervalEnd) : intervalEnd;
            limited = true;
        }
        if (gone) {
            if (limited) {
                SleepUntil(end);
            }
            break;
        }
        if (limited && HasExpired(end)) {
            break;
        }
        pollfd wait{port->fd, POLLIN, 0};
        int ready = poll(&wait, 1, limited ? RemainingPollMilliseconds(end) : -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
            *bytesRead = received;
            return 0;
        }
        // POLLNVAL: the descriptor was closed under the handle; nothing
        // can be read from it any more.
        if (wait.revents & POLLNVAL) {
            if (limited) {
                SleepUntil(end);
            }
            break;
        }
        if (ready == 0 && HasExpired(end)) {
            break;
        }
        hangupSeen = (wait.revents & (POLLHUP | POLLERR)) != 0;
    }
    *bytesRead = received;
    return 1;
}
