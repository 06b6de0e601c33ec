// The error of the last failed serial call, the handle check, and Sleep.

#include "serial_handle.h"

#include <cerrno>

#include "deadline.h"

namespace {
// Per thread, as Win32 keeps it.
thread_local DWORD lastError = 0;
}  // namespace

BOOL FailWith(int error) {
    lastError = static_cast<DWORD>(error);
    return 0;
}

SerialHandle* HandleRecord(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        FailWith(EBADF);
        return nullptr;
    }
    return static_cast<SerialHandle*>(handle);
}

DWORD GetLastError() {
    return lastError;
}

void Sleep(DWORD milliseconds) {
    SleepMilliseconds(milliseconds);
}
