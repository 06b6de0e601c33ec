// The receiver's line: raw 57600 8N1 without handshake.

#include "link/receiver_port.h"

namespace {
constexpr DWORD kBaudRate = 57600;
constexpr BYTE kDataBits = 8;
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

