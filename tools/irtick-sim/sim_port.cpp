// Pseudo-terminal and device set-up for irtick-sim.

#include "sim_port.h"

#include "raw_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The receiver's line speed; a real serial port given with --port (a
// null-modem cable to the port irtick reads) runs at it.  Every byte from
// 0 to 255 must go through as it is, so the line is raw.
constexpr speed_t kReceiverSpeed = B57600;

std::string ErrorText(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

int SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return errno;
    }
    return 0;
}

int32_t OpenNamedPort(const std::string& path, SimPort* port, std::string* message) {
    // O_NONBLOCK: a serial port without carrier detect would hold the open
    // until carrier appears; the writes wait in poll() anyway.
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *message = ErrorText("cannot open " + path, errno);
        return 1;
    }
    if (isatty(fd) == 1) {
        int error = ApplyRawLine(fd, kReceiverSpeed);
        if (error != 0) {
            close(fd);
            *message = ErrorText("cannot set up " + path, error);
            return 1;
        }
    }
    port->writeFd = fd;
    port->heldFd = -1;
    port->path = path;
    return 0;
}

int32_t MakePseudoTerminal(SimPort* port, std::string* message) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        *message = ErrorText("cannot make a pseudo-terminal", errno);
        return 1;
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        int error = errno;
        close(master);
        *message = ErrorText("cannot set up a pseudo-terminal", error);
        return 1;
    }
    std::string path = name;
    // Holding the port side open keeps the pseudo-terminal alive (and its
    // queued bytes) while no reader has it open, and lets us set it raw
    // before the first byte arrives: the line discipline processes bytes
    // as they come in, not as they are read.
    int held = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    int error = held < 0 ? errno : ApplyRawLine(held, kReceiverSpeed);
    if (error == 0) {
        error = SetNonBlocking(master);
    }
    if (error != 0) {
        if (held >= 0) {
            close(held);
        }
        close(master);
        *message = ErrorText("cannot set up " + path, error);
        return 1;
    }
    port->writeFd = master;
    port->heldFd = held;
    port->path = path;
    return 0;
}

}  // namespace

int32_t OpenSimPort(const SimOptions& options, SimPort* port, std::string* message) {
    if (!options.portPath.empty()) {
        return OpenNamedPort(options.portPath, port, message);
    }
    return MakePseudoTerminal(port, message);
}

void CloseSimPort(SimPort* port) {
    if (port->writeFd >= 0) {
        close(port->writeFd);
        port->writeFd = -1;
    }
    if (port->heldFd >= 0) {
        close(port->heldFd);
        port->heldFd = -1;
    }
}

int32_t UnreadPortBytes(const SimPort& port) {
    if (port.heldFd < 0) {
        return 0;
    }
    int queued = 0;
    if (ioctl(port.heldFd, TIOCINQ, &queued) != 0) {
        return 0;
    }
    return queued;
}
