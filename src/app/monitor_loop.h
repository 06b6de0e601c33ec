// The monitor loop: reads the receiver, shows each byte, feeds the
// decoders and reacts to keys.
#pragma once

#include "app/run_options.h"

// Largest number of bytes one read asks for.
constexpr unsigned kReadBufferSize = 16;

// The interval value, in ticks, of one received byte: with wrap correction
// the bytes 0, 1 and 2 stand for 256, 257 and 258.
unsigned FormIntervalValue(unsigned char byte, bool wrapCorrection);

// Runs until a key other than Enter or Space; closes the receiver port
// before it returns.  receiverPort must hold the open device.
void RunMonitor(const RunOptions& options);
