// Opening a benchmark port the way the receiver port opens its device.

#include "bench_port.h"

HANDLE OpenBenchPort(const std::string& path)
{
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) return port;

    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(port, &dcb);
    SetReceiverLine(dcb);
    SetCommState(port, &dcb);

    COMMTIMEOUTS timeouts = {};
    GetCommTimeouts(port, &timeouts);
    SetReceiverReadTimeouts(timeouts);
    SetCommTimeouts(port, &timeouts);
    return port;
}
