// Decoder for Sony (SIRC) 12, 15 and 20-bit frames in the stream of
// interval values.
#pragma once

#include <cstdint>

enum SonyState : int32_t {
    SonyIdle,
    SonyBits,
    SonyComplete,
};

struct SonyDecoder {
    int32_t state;     // a SonyState
    int32_t bitCount;  // bit values taken in the current frame
    uint32_t code;     // assembled least significant bit first
};

// The process's Sony decoder; all zero (idle) at start.
extern SonyDecoder sonyDecoder;

// Takes one interval value in ticks (0..258) and the frame length in bits
// (12, 15 or 20); may print the code line.  A frame completes after frame
// length - 1 bit values; other lengths are held to 1..32 such values.
void DecodeSonyInterval(unsigned value, int32_t frameLength);
