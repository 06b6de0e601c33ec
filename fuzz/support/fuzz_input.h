// What every fuzz target needs besides the code under test: a check that
// ends the program (libFuzzer and the corpus replay both see a crash), and
// a reader that takes numbers from the front of the input, giving 0 once
// the input is used up.
#pragma once

#include <cstddef>
#include <cstdint>

// Prints what failed on stderr and aborts when condition is false.
void FuzzCheck(bool condition, const char* what);

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t used;
};

bool HasFuzzBytes(const FuzzInput& input);
uint8_t TakeFuzzByte(FuzzInput& input);
// Four bytes, the first as the lowest.
uint32_t TakeFuzzWord(FuzzInput& input);
// A signed number that is mostly small: one byte as -128..127, except that
// the byte kFuzzWordFollows is followed by a whole 32-bit word.  Small
// values are what the code compares against, so the fuzzer finds them in
// one byte; the word keeps every other value in reach.
constexpr uint8_t kFuzzWordFollows = 0x7F;
int32_t TakeFuzzNumber(FuzzInput& input);
