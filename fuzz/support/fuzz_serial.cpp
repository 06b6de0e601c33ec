#include "support/fuzz_serial.h"

#include <algorithm>

#include "app/monitor_loop.h"
#include "fakes/fake_console.h"
#include "support/fuzz_input.h"

std::deque<FuzzRead> fuzzReads;
std::vector<FuzzSerialCall> fuzzSerialCalls;

namespace {

int fuzzPortObject;

struct EscapeCall {
    DWORD function;
    FuzzSerialCall call;
};

const EscapeCall kEscapeCalls[] = {
    {SETRTS, kFuzzCallSetRts},
    {CLRRTS, kFuzzCallClearRts},
    {SETDTR, kFuzzCallSetDtr},
    {CLRDTR, kFuzzCallClearDtr},
};

// What a failing device leaves behind: a count beyond the buffer and
// bytes that must never be shown.
constexpr DWORD kFailedReadCount = 0xFFFFFFFFu;
constexpr unsigned char kFailedReadFill = 0xA5;

BOOL CheckedCall(HANDLE file)
{
    FuzzCheck(file == FuzzPortHandle(), "a serial call on a handle that is not the port");
    fuzzSerialCalls.push_back(kFuzzCallOther);
    return 1;
}

}  // namespace

HANDLE FuzzPortHandle() { return &fuzzPortObject; }

void ResetFuzzSerial()
{
    fuzzReads.clear();
    fuzzSerialCalls.clear();
}

HANDLE CreateFileA(LPCSTR, DWORD, DWORD, void*, DWORD, DWORD, HANDLE)
{
    fuzzSerialCalls.push_back(kFuzzCallOther);
    return FuzzPortHandle();
}

BOOL GetCommState(HANDLE file, DCB*) { return CheckedCall(file); }
BOOL SetCommState(HANDLE file, DCB*) { return CheckedCall(file); }
BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS*) { return CheckedCall(file); }
BOOL SetCommTimeouts(HANDLE file, COMMTIMEOUTS*) { return CheckedCall(file); }
BOOL SetCommMask(HANDLE file, DWORD) { return CheckedCall(file); }
DWORD GetLastError() { return 0; }
void Sleep(DWORD) {}

BOOL EscapeCommFunction(HANDLE file, DWORD function)
{
    FuzzCheck(file == FuzzPortHandle(), "EscapeCommFunction on a handle that is not the port");
    for (const EscapeCall& entry : kEscapeCalls) {
        if (entry.function == function) {
            fuzzSerialCalls.push_back(entry.call);
            return 1;
        }
    }
    FuzzCheck(false, "EscapeCommFunction with an unknown request");
    return 0;
}

BOOL CloseHandle(HANDLE object)
{
    FuzzCheck(object == FuzzPortHandle(), "CloseHandle on a handle that is not the port");
    fuzzSerialCalls.push_back(kFuzzCallClose);
    return 1;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped)
{
    FuzzCheck(file == FuzzPortHandle(), "ReadFile on a handle that is not the port");
    FuzzCheck(bytesToRead == kReadBufferSize, "ReadFile asks for other than 16 bytes");
    FuzzCheck(overlapped == nullptr, "ReadFile with an overlapped record");
    fuzzSerialCalls.push_back(kFuzzCallRead);
    if (fuzzReads.empty()) {
        fakeWaitingKeys.push_back(kFuzzScriptEndKey);
        *bytesRead = 0;
        return 1;
    }
    const FuzzRead read = fuzzReads.front();
    fuzzReads.pop_front();
    for (int key : read.keysPressed) fakeWaitingKeys.push_back(key);
    if (!read.succeeds) {
        std::fill_n(static_cast<unsigned char*>(buffer), bytesToRead, kFailedReadFill);
        *bytesRead = kFailedReadCount;
        return 0;
    }
    std::copy(read.bytes.begin(), read.bytes.end(), static_cast<unsigned char*>(buffer));
    *bytesRead = static_cast<DWORD>(read.bytes.size());
    return 1;
}
