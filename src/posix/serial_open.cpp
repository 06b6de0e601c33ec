// Opening and closing a port: a terminal device exclusively for reading and
// writing, a recorded stream (a regular file or a FIFO) for reading only.

#include "serial_handle.h"

#include <cerrno>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "device_path.h"

namespace {

// The only open the receiver port makes.
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kNoSharing = 0;

// A regular file or a FIFO carries a recorded byte stream: irtick only ever
// reads it, so it is opened read-only and without the lock (a read-only
// file, a file of another user and two replays of one file at once work).
bool IsRecording(mode_t mode) {
    return S_ISREG(mode) || S_ISFIFO(mode);
}

// With the controlling terminal as the port, the line's raw settings would
// take every key and the run could not be ended from the terminal.
// TIOCGSID (tcgetsid) answers only for the caller's own controlling
// terminal and gives ENOTTY for any other; that holds for /dev/tty, which
// opens the controlling terminal under another device number, as well as
// for the terminal's own path.
bool IsControllingTerminal(int fd) {
    const pid_t session = tcgetsid(fd);
    return session != -1 && session == getsid(0);
}

// Makes the freshly opened `fd` the port's: checks that it is still the
// kind of file the open mode was chosen for, refuses the controlling
// terminal, and takes a device for this process alone.  0 or the errno.
int ClaimDescriptor(int fd, bool recording, bool* heldExclusive) {
    struct stat opened {};
    if (fstat(fd, &opened) != 0) {
        return errno;
    }
    // The path was replaced between stat() and open().
    if (IsRecording(opened.st_mode) != recording) {
        return EAGAIN;
    }
    if (recording) {
        return 0;
    }
    const bool isTerminal = isatty(fd) == 1;
    if (isTerminal && IsControllingTerminal(fd)) {
        return EBUSY;
    }
    // flock binds every other program that takes the lock, another irtick
    // among them (EWOULDBLOCK, 11); TIOCEXCL makes the kernel refuse every
    // further open of the terminal (EBUSY, 16), except by root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno;
    }
    if (isTerminal) {
        if (ioctl(fd, TIOCEXCL) != 0) {
            return errno;
        }
        *heldExclusive = true;
    }
    return 0;
}

// Clears what ClaimDescriptor set on the terminal and closes `fd`; 0 or
// the errno of close().
int ReleaseDescriptor(int fd, bool heldExclusive) {
    // The exclusive mark belongs to the terminal, not to this descriptor:
    // it would outlive the close wherever the terminal stays open elsewhere
    // (the master of a pseudo-terminal keeps its slave alive) and lock the
    // next opener out.
    if (heldExclusive) {
        ioctl(fd, TIOCNXCL);
    }
    // Closing the last descriptor of the open file also drops the flock.
    // Linux frees the descriptor even when close() reports an error.
    return close(fd) == 0 ? 0 : errno;
}

}  // namespace

// Opens an existing device or file as the receiver port does: read and
// write access, no sharing, OPEN_EXISTING.  Any other request is refused
// with EINVAL; nothing is ever created.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   void* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    if (fileName == nullptr || desiredAccess != kReadWrite || shareMode != kNoSharing ||
        creationDisposition != OPEN_EXISTING) {
        FailWith(EINVAL);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = MapDevicePath(fileName);
    struct stat named {};
    if (stat(path.c_str(), &named) != 0) {
        FailWith(errno);
        return INVALID_HANDLE_VALUE;
    }
    const bool recording = IsRecording(named.st_mode);
    // O_NOCTTY: the port must not become the controlling terminal of the
    // process.  O_NONBLOCK: without CLOCAL (which the line settings only
    // set later) the open of a serial port waits for carrier detect, and a
    // FIFO's for a writer; the descriptor stays non-blocking and ReadFile
    // waits in poll().
    const int accessMode = recording ? O_RDONLY : O_RDWR;
    const int fd = open(path.c_str(), accessMode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        FailWith(errno);
        return INVALID_HANDLE_VALUE;
    }
    bool heldExclusive = false;
    int error = ClaimDescriptor(fd, recording, &heldExclusive);
    SerialHandle* port = nullptr;
    if (error == 0) {
        port = new (std::nothrow) SerialHandle{fd, isatty(fd) == 1, heldExclusive, {}};
        if (port == nullptr) {
            error = ENOMEM;
        }
    }
    if (error != 0) {
        ReleaseDescriptor(fd, heldExclusive);
        FailWith(error);
        return INVALID_HANDLE_VALUE;
    }
    return port;
}

BOOL CloseHandle(HANDLE object) {
    SerialHandle* port = HandleRecord(object);
    if (port == nullptr) {
        return 0;
    }
    const int error = ReleaseDescriptor(port->fd, port->heldExclusive);
    delete port;
    return error == 0 ? 1 : FailWith(error);
}
