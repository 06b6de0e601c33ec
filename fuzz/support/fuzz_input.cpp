#include "support/fuzz_input.h"

#include <cstdio>
#include <cstdlib>

void FuzzCheck(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

bool HasFuzzBytes(const FuzzInput& input) { return input.used < input.size; }

uint8_t TakeFuzzByte(FuzzInput& input)
{
    if (!HasFuzzBytes(input)) return 0;
    return input.data[input.used++];
}

uint32_t TakeFuzzWord(FuzzInput& input)
{
    uint32_t word = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        word |= static_cast<uint32_t>(TakeFuzzByte(input)) << shift;
    }
    return word;
}

int32_t TakeFuzzNumber(FuzzInput& input)
{
    const uint8_t byte = TakeFuzzByte(input);
    if (byte == kFuzzWordFollows) return static_cast<int32_t>(TakeFuzzWord(input));
    return static_cast<int8_t>(byte);
}
