// A stand-in for the console: captures output, serves scripted keys.
#pragma once

#include <deque>
#include <string>

extern std::string fakeConsoleOutput;  // everything printed, in order
extern std::deque<int> fakeWaitingKeys;
// Called at the start of every PrintText when set, as a real console's
// output may change the error code of the last failed call.
extern void (*fakeBeforePrint)();

// Key code the stand-ins inject when a test's script runs out, so that a
// faulty loop ends instead of spinning; the test fails as well.
constexpr int kFakeScriptEndKey = 'Z';

void ResetFakeConsole();
