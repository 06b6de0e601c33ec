// Remote-control traffic as a receiver sends it: NEC presses with repeat
// frames and Sony 12-bit frames, each interval varied a little, made with
// the simulator's script so that every byte is the one a receiver sends.
#pragma once

#include <cstddef>
#include <string>

// The most bytes the receiver's line carries: 57600 baud, 10 bits per byte
// with 8N1 framing.
constexpr double kLineBytesPerSecond = 57600.0 / 10.0;

// The bytes of the traffic in the order sent, over and over, `count` of
// them.  The same every call; empty if the script cannot be read (a fault
// of the benchmark itself).
std::string TrafficBytes(size_t count);
