// The line settings: the receiver's raw 57600 8N1 line without flow
// control, with DTR and RTS left to explicit requests.  No other line is
// made; a DCB that asks for one is refused with EINVAL.

#include "serial_handle.h"

#include <cerrno>
#include <cstring>

#include <sys/ioctl.h>
#include <termios.h>

#include "raw_line.h"

namespace {

constexpr DWORD kReceiverRate = 57600;
constexpr speed_t kReceiverSpeed = B57600;
constexpr BYTE kReceiverByteSize = 8;

// One DCB field and the only value SetCommState takes for it.  fBinary,
// fTXContinueOnXoff and the characters are not listed: a raw line without
// XON/XOFF never acts on them.
struct RequiredField {
    DWORD (*value)(const DCB& dcb);
    DWORD required;
};

const RequiredField kRequiredFields[] = {
    {[](const DCB& d) -> DWORD { return d.BaudRate; }, kReceiverRate},
    {[](const DCB& d) -> DWORD { return d.ByteSize; }, kReceiverByteSize},
    {[](const DCB& d) -> DWORD { return d.Parity; }, NOPARITY},
    {[](const DCB& d) -> DWORD { return d.StopBits; }, ONESTOPBIT},
    {[](const DCB& d) -> DWORD { return d.fParity; }, 0},
    {[](const DCB& d) -> DWORD { return d.fOutxCtsFlow; }, 0},
    {[](const DCB& d) -> DWORD { return d.fOutxDsrFlow; }, 0},
    {[](const DCB& d) -> DWORD { return d.fDtrControl; }, DTR_CONTROL_DISABLE},
    {[](const DCB& d) -> DWORD { return d.fDsrSensitivity; }, 0},
    {[](const DCB& d) -> DWORD { return d.fOutX; }, 0},
    {[](const DCB& d) -> DWORD { return d.fInX; }, 0},
    {[](const DCB& d) -> DWORD { return d.fErrorChar; }, 0},
    {[](const DCB& d) -> DWORD { return d.fNull; }, 0},
    {[](const DCB& d) -> DWORD { return d.fRtsControl; }, RTS_CONTROL_DISABLE},
    {[](const DCB& d) -> DWORD { return d.fAbortOnError; }, 0},
};

bool AsksForReceiverLine(const DCB& dcb) {
    for (const RequiredField& field : kRequiredFields) {
        if (field.value(dcb) != field.required) {
            return false;
        }
    }
    return true;
}

// The control flags that decide the framing and the modem behaviour, and
// so are checked after applying them; the speed bits are checked through
// cfget*speed.
constexpr tcflag_t kCheckedControlFlags =
    CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD | CLOCAL | HUPCL;

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
    const speed_t inputSpeed = cfgetispeed(&actual);
    return inputSpeed == 0 || inputSpeed == cfgetispeed(&wanted);
}

}  // namespace

// Fills the fields SetCommState acts on as far as the terminal's line is
// the receiver's: BaudRate 57600 when the line runs at it, ByteSize 8 when
// it is 8N1 (Parity NOPARITY, StopBits ONESTOPBIT); any other rate or
// framing reads as 0, a line this layer does not make.  Every other field
// is 0 but DCBlength and fBinary.  Fails with ENOTTY on a file.
BOOL GetCommState(HANDLE file, DCB* dcb) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    if (dcb == nullptr) {
        return FailWith(EINVAL);
    }
    termios line{};
    if (tcgetattr(port->fd, &line) != 0) {
        return FailWith(errno);
    }
    std::memset(dcb, 0, sizeof *dcb);
    dcb->DCBlength = sizeof *dcb;
    // Linux never acts on an end-of-file character in raw input.
    dcb->fBinary = 1;
    if (cfgetospeed(&line) == kReceiverSpeed) {
        dcb->BaudRate = kReceiverRate;
    }
    if ((line.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8) {
        dcb->ByteSize = kReceiverByteSize;
    }
    return 1;
}

BOOL SetCommState(HANDLE file, DCB* dcb) {
    SerialHandle* port = HandleRecord(file);
    if (port == nullptr) {
        return 0;
    }
    if (dcb == nullptr || !AsksForReceiverLine(*dcb)) {
        return FailWith(EINVAL);
    }
    termios previous{};
    if (tcgetattr(port->fd, &previous) != 0) {
        return FailWith(errno);
    }
    // Every flag word from scratch: a terminal keeps the settings of the
    // last program that used it.  HUPCL stays off: the kernel would lower
    // DTR and RTS when the port closes, and the lines must move only on
    // explicit requests; a run ended by Ctrl+C leaves the receiver powered.
    termios line = previous;
    MakeRawLine(&line, kReceiverSpeed);
    if (tcsetattr(port->fd, TCSANOW, &line) != 0) {
        return FailWith(errno);
    }
    // tcsetattr succeeds when the driver took any part of the request; a
    // driver that cannot do a setting quietly keeps another.
    termios actual{};
    if (tcgetattr(port->fd, &actual) != 0) {
        return FailWith(errno);
    }
    if (!SameLineSettings(line, actual)) {
        // A refused setting leaves the line as it was, not half changed.
        tcsetattr(port->fd, TCSANOW, &previous);
        return FailWith(EINVAL);
    }
    // The lines are lowered only now, after the termios: Linux raises DTR
    // and RTS when a port opens and again when its speed leaves 0, so
    // lowering them any earlier could be undone by the tcsetattr above.
    return ChangeModemLines(*port, TIOCMBIC, TIOCM_DTR | TIOCM_RTS);
}

BOOL SetCommMask(HANDLE file, DWORD /*eventMask*/) {
    // No line events are ever waited for, so there is nothing to arm.
    return HandleRecord(file) != nullptr;
}
