// A stand-in for the console: captures output, serves scripted keys.
#pragma once

#include <deque>
#include <string>

extern std::string fakeConsoleOutput;  // everything printed, in order
extern std::deque<int> fakeWaitingKeys;

// Key code the stand-ins inject when a test's script runs out, so that a
// faulty loop ends instead of spinning; the test fails as well.
constexpr int kFakeScriptEndKey = 'Z';

void ResetFakeConsole();
