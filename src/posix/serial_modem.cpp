// The modem lines RTS and DTR, which power the receiver.

#include "serial_handle.h"

#include <cerrno>

#include <sys/ioctl.h>

namespace {

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

}  // namespace

BOOL ChangeModemLines(const SerialHandle& port, unsigned long request, int lines) {
    if (ioctl(port.fd, request, &lines) != 0) {
        return FailWith(errno);
    }
    return 1;
}

// The four line requests; any other function is refused with EINVAL.
BOOL EscapeCommFunction(HANDLE file, DWORD function) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    for (const LineRequest& line : kLineRequests) {
        if (line.function == function) {
            return ChangeModemLines(*port, line.request, line.lines);
        }
    }
    return FailWith(EINVAL);
}
