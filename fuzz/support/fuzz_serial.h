// A stand-in for the serial calls without a test framework: scripted
// reads, and a log of the calls that change the port.  Wrong arguments
// fail a FuzzCheck.
#pragma once

#include <deque>
#include <vector>

#include "serial_api.h"

struct FuzzRead {
    std::vector<unsigned char> bytes;  // at most kReadBufferSize
    std::vector<int> keysPressed;      // waiting for the console once the read returns
    bool succeeds;
};

enum FuzzSerialCall {
    kFuzzCallRead,
    kFuzzCallSetRts,
    kFuzzCallClearRts,
    kFuzzCallSetDtr,
    kFuzzCallClearDtr,
    kFuzzCallClose,
    kFuzzCallOther,  // open and set-up calls
};

extern std::deque<FuzzRead> fuzzReads;  // consumed one per ReadFile
extern std::vector<FuzzSerialCall> fuzzSerialCalls;

// Key the stand-in presses on each read after the script ran out, so that
// every run ends.
constexpr int kFuzzScriptEndKey = 'q';

HANDLE FuzzPortHandle();
void ResetFuzzSerial();
