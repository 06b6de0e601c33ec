// A recording stand-in for the serial calls, with scripted reads.
#pragma once

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "serial_api.h"

// What one ReadFile call delivers, and the keys pressed while it ran (they
// become waiting for the console stand-in when the read returns).
struct FakeRead {
    std::vector<unsigned char> bytes;
    std::vector<int> keysPressed;
    bool succeeds = true;
};

// Every serial call in order, e.g. "CreateFileA \\.\COM1", "Sleep 500",
// "EscapeCommFunction SETRTS", "ReadFile 16".
extern std::vector<std::string> fakeSerialCalls;

extern bool fakeOpenFails;
extern DWORD fakeOpenError;
extern DCB fakeDeviceDcb;                // what GetCommState reports
extern DCB fakeAppliedDcb;               // the last record given to SetCommState
extern COMMTIMEOUTS fakeDeviceTimeouts;  // what GetCommTimeouts reports
extern COMMTIMEOUTS fakeAppliedTimeouts;
extern DWORD fakeAppliedMask;
extern std::deque<FakeRead> fakeReads;  // consumed one per ReadFile
// Set-up calls that fail, by name ("GetCommState", "SetCommState",
// "GetCommTimeouts", "SetCommTimeouts", "SetCommMask",
// "EscapeCommFunction"): they are recorded, change nothing and leave
// kFakeSetupError as the last error.
extern std::set<std::string> fakeFailingCalls;
constexpr DWORD kFakeSetupError = 31;
// Keys pressed while Sleep runs (the power-up pause); they become waiting
// for the console stand-in when Sleep returns.
extern std::vector<int> fakeKeysDuringSleep;

// What GetLastError gives next, as a later failing call would leave it.
void FakeSetLastError(DWORD errorCode);

// The handle the stand-in hands out on a successful open.
HANDLE FakePortHandle();

void ResetFakeSerial();
