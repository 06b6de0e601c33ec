#include "fakes/fake_serial_api.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fakes/fake_console.h"

std::vector<std::string> fakeSerialCalls;
bool fakeOpenFails = false;
DWORD fakeOpenError = 0;
DCB fakeDeviceDcb;
DCB fakeAppliedDcb;
COMMTIMEOUTS fakeDeviceTimeouts;
COMMTIMEOUTS fakeAppliedTimeouts;
DWORD fakeAppliedMask = 0xFFFFFFFFu;
std::deque<FakeRead> fakeReads;
std::set<std::string> fakeFailingCalls;
std::vector<int> fakeKeysDuringSleep;

namespace {

int fakePortObject;
DWORD lastError = 0;

struct EscapeName {
    DWORD function;
    const char* name;
};

const EscapeName kEscapeNames[] = {
    {SETRTS, "SETRTS"},
    {CLRRTS, "CLRRTS"},
    {SETDTR, "SETDTR"},
    {CLRDTR, "CLRDTR"},
};

void Record(const std::string& call) { fakeSerialCalls.push_back(call); }

// True when the named set-up call is to fail; it then leaves its error.
bool Fails(const char* name)
{
    if (fakeFailingCalls.count(name) == 0) return false;
    lastError = kFakeSetupError;
    return true;
}

}  // namespace

HANDLE FakePortHandle() { return &fakePortObject; }

void FakeSetLastError(DWORD errorCode) { lastError = errorCode; }

void ResetFakeSerial()
{
    fakeSerialCalls.clear();
    fakeOpenFails = false;
    fakeOpenError = 0;
    std::memset(&fakeDeviceDcb, 0, sizeof(fakeDeviceDcb));
    std::memset(&fakeAppliedDcb, 0, sizeof(fakeAppliedDcb));
    std::memset(&fakeDeviceTimeouts, 0, sizeof(fakeDeviceTimeouts));
    std::memset(&fakeAppliedTimeouts, 0, sizeof(fakeAppliedTimeouts));
    fakeAppliedMask = 0xFFFFFFFFu;
    fakeReads.clear();
    fakeFailingCalls.clear();
    fakeKeysDuringSleep.clear();
    lastError = 0;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile)
{
    Record(std::string("CreateFileA ") + fileName);
    EXPECT_EQ(desiredAccess, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(shareMode, 0u);
    EXPECT_EQ(securityAttributes, nullptr);
    EXPECT_EQ(creationDisposition, OPEN_EXISTING);
    EXPECT_EQ(flagsAndAttributes, 0u);
    EXPECT_EQ(templateFile, nullptr);
    if (fakeOpenFails) {
        lastError = fakeOpenError;
        return INVALID_HANDLE_VALUE;
    }
    return FakePortHandle();
}

BOOL GetCommState(HANDLE file, DCB* dcb)
{
    Record("GetCommState");
    EXPECT_EQ(file, FakePortHandle());
    EXPECT_EQ(dcb->DCBlength, sizeof(DCB));
    if (Fails("GetCommState")) return 0;
    *dcb = fakeDeviceDcb;
    dcb->DCBlength = sizeof(DCB);
    return 1;
}

BOOL SetCommState(HANDLE file, DCB* dcb)
{
    Record("SetCommState");
    EXPECT_EQ(file, FakePortHandle());
    if (Fails("SetCommState")) return 0;
    fakeAppliedDcb = *dcb;
    return 1;
}

BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts)
{
    Record("GetCommTimeouts");
    EXPECT_EQ(file, FakePortHandle());
    if (Fails("GetCommTimeouts")) return 0;
    *timeouts = fakeDeviceTimeouts;
    return 1;
}

BOOL SetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts)
{
    Record("SetCommTimeouts");
    EXPECT_EQ(file, FakePortHandle());
    if (Fails("SetCommTimeouts")) return 0;
    fakeAppliedTimeouts = *timeouts;
    return 1;
}

BOOL SetCommMask(HANDLE file, DWORD eventMask)
{
    Record("SetCommMask");
    EXPECT_EQ(file, FakePortHandle());
    if (Fails("SetCommMask")) return 0;
    fakeAppliedMask = eventMask;
    return 1;
}

BOOL EscapeCommFunction(HANDLE file, DWORD function)
{
    EXPECT_EQ(file, FakePortHandle());
    for (const EscapeName& entry : kEscapeNames) {
        if (entry.function == function) {
            Record(std::string("EscapeCommFunction ") + entry.name);
            return Fails("EscapeCommFunction") ? 0 : 1;
        }
    }
    Record("EscapeCommFunction " + std::to_string(function));
    return 0;
}

BOOL CloseHandle(HANDLE object)
{
    Record("CloseHandle");
    EXPECT_EQ(object, FakePortHandle());
    return 1;
}

DWORD GetLastError() { return lastError; }

void Sleep(DWORD milliseconds)
{
    Record("Sleep " + std::to_string(milliseconds));
    fakeWaitingKeys.insert(fakeWaitingKeys.end(), fakeKeysDuringSleep.begin(),
                           fakeKeysDuringSleep.end());
    fakeKeysDuringSleep.clear();
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped)
{
    Record("ReadFile " + std::to_string(bytesToRead));
    EXPECT_EQ(file, FakePortHandle());
    EXPECT_EQ(overlapped, nullptr);
    *bytesRead = 0;
    if (fakeReads.empty()) {
        ADD_FAILURE() << "the scripted reads ran out before the loop ended";
        fakeWaitingKeys.push_back(kFakeScriptEndKey);
        return 1;
    }
    const FakeRead read = fakeReads.front();
    fakeReads.pop_front();
    for (int key : read.keysPressed) fakeWaitingKeys.push_back(key);
    if (!read.succeeds) {
        // A failing device may leave anything in the count.
        *bytesRead = 7;
        return 0;
    }
    EXPECT_LE(read.bytes.size(), bytesToRead);
    // An empty vector may hold no storage at all (data() null), and memcpy
    // from null is undefined even for no bytes.
    if (!read.bytes.empty()) std::memcpy(buffer, read.bytes.data(), read.bytes.size());
    *bytesRead = static_cast<DWORD>(read.bytes.size());
    return 1;
}
