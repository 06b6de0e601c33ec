// Decoder for NEC remote-control frames in the stream of interval values.
#pragma once

#include <cstdint>

enum NecState : int32_t {
    NecIdle,
    NecBits,
    NecComplete,
    NecAwaitRepeat,
    NecRepeatLeader,
};

struct NecDecoder {
    int32_t state;     // a NecState
    int32_t bitCount;  // bit values taken in the current frame, 0..32
    uint32_t code;     // assembled least significant bit first
};

// The process's NEC decoder; all zero (idle) at start.
extern NecDecoder necDecoder;

// Takes one interval value in ticks (0..258); may print the code line or
// the repeat mark.
void DecodeNecInterval(unsigned value);
