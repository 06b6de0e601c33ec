// Run settings taken from the command line.
#pragma once

#include <cstdint>
#include <string>

struct RunOptions {
    std::string portName = "COM1";  // serial device; the record's own copy
    bool rawText = false;           // -a: print received bytes as characters
    bool necDecoding = false;       // -n: feed interval values to the NEC decoder
    int32_t sonyBits = 0;           // -s: Sony frame length 12, 15 or 20; 0 = off
    bool wrapCorrection = true;     // -r turns it off: bytes 0..2 become 256..258
    bool showMicroseconds = false;  // -t: display values times 64
};

// Reads the argument vector (entry 0, the program name, is not looked at).
// Never fails and prints nothing: unrecognised arguments are skipped.
RunOptions ParseRunOptions(int argumentCount, const char* const* argumentTexts);

// Converts the value text of -s: optional leading white space, one optional
// sign, decimal digits accumulated in wrapping 32-bit arithmetic.
int32_t ParseFrameLengthText(const char* text);
