// Opening, configuring, powering and closing the receiver's serial port.
// Written in the Win32 serial calls; on other platforms the build supplies
// a layer that gives those calls the same effect.

#include "link/receiver_port.h"

#include <string>

#include "app/console.h"

HANDLE receiverPort = nullptr;

namespace {

// How long the receiver is left without supply before it is powered up,
// so that every run starts it from a clean reset.
constexpr DWORD kPowerOffPause = 500;

constexpr DWORD kNoLineEvents = 0;

}  // namespace

int OpenReceiverPort(const char* portName)
{
    const std::string devicePath = std::string(kDevicePathPrefix) + portName;

    receiverPort = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (receiverPort == INVALID_HANDLE_VALUE) {
        const DWORD errorCode = GetLastError();
        PrintText("Error opening port: %s (%i)\n", devicePath.c_str(), static_cast<int>(errorCode));
        receiverPort = nullptr;
        return 1;
    }

    // The outcome of the set-up calls is not examined: a device that takes
    // the open but rejects a setting still runs with what it has.
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(receiverPort, &dcb);
    SetReceiverLine(dcb);
    SetCommState(receiverPort, &dcb);

    COMMTIMEOUTS timeouts = {};
    GetCommTimeouts(receiverPort, &timeouts);
    SetReceiverReadTimeouts(timeouts);
    SetCommTimeouts(receiverPort, &timeouts);

    SetCommMask(receiverPort, kNoLineEvents);

    // RTS and DTR are low from SetCommState on; the receiver gets its
    // supply back only after the pause, RTS first.
    Sleep(kPowerOffPause);
    EscapeCommFunction(receiverPort, SETRTS);
    EscapeCommFunction(receiverPort, SETDTR);
    return 0;
}

void CloseReceiverPort()
{
    EscapeCommFunction(receiverPort, CLRDTR);
    EscapeCommFunction(receiverPort, CLRRTS);
    CloseHandle(receiverPort);
    receiverPort = nullptr;
}
