// The receiver's line (raw 57600 8N1 without handshake) and the read
// time-outs that shape every read of the monitor loop.

#include "link/receiver_port.h"

namespace {
constexpr DWORD kBaudRate = 57600;
constexpr BYTE kDataBits = 8;

// In milliseconds: a read returns once more than 20 ms pass after a byte,
// and at the latest after 2 ms per requested byte plus 100.
constexpr DWORD kReadIntervalTimeout = 20;
constexpr DWORD kReadTotalTimeoutMultiplier = 2;
constexpr DWORD kReadTotalTimeoutConstant = 100;
}  // namespace

void SetReceiverLine(DCB& dcb)
{
    dcb.BaudRate = kBaudRate;
    dcb.ByteSize = kDataBits;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.ErrorChar = 0;
}

void SetReceiverReadTimeouts(COMMTIMEOUTS& timeouts)
{
    timeouts.ReadIntervalTimeout = kReadIntervalTimeout;
    timeouts.ReadTotalTimeoutMultiplier = kReadTotalTimeoutMultiplier;
    timeouts.ReadTotalTimeoutConstant = kReadTotalTimeoutConstant;
}
