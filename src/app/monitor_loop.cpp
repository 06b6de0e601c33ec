// The monitor loop: one read of the receiver, every byte shown (and fed to
// the decoders), then one look at the keyboard; again until a quit key.

#include "app/monitor_loop.h"

#include "app/console.h"
#include "decode/nec_decoder.h"
#include "decode/sony_decoder.h"
#include "link/receiver_port.h"

namespace {

// Bytes below this stand for an interval that wrapped the receiver's
// 8-bit counter once.
constexpr unsigned kWrapLimit = 3;
constexpr unsigned kWrapOffset = 256;

// One tick is 64 microseconds.
constexpr unsigned kTickShift = 6;

struct KeyAction {
    int keyCode;
    const char* text;  // printed, after which the loop goes on
};

// Keys that only add line breaks; every other key ends the run.
const KeyAction kLineBreakKeys[] = {
    {13, "\n\n"},  // Enter: the line ends and an empty line follows
    {32, "\n"},    // Space: the line ends
};

void ShowByte(const RunOptions& options, unsigned char byte)
{
    if (options.rawText) {
        PrintText("%c", byte);
        return;
    }
    const unsigned value = FormIntervalValue(byte, options.wrapCorrection);
    if (options.showMicroseconds) {
        PrintText("  %5i ", static_cast<int>(value << kTickShift));
    } else {
        PrintText("%3i ", static_cast<int>(value));
    }
    // The decoders always get ticks, and print after the value's field.
    if (options.necDecoding) DecodeNecInterval(value);
    if (options.sonyBits != 0) DecodeSonyInterval(value, options.sonyBits);
}

// Acts on one key; gives false when the key ends the run.
bool HandleKey(int keyCode)
{
    for (const KeyAction& action : kLineBreakKeys) {
        if (keyCode == action.keyCode) {
            PrintText("%s", action.text);
            return true;
        }
    }
    return false;
}

}  // namespace

unsigned FormIntervalValue(unsigned char byte, bool wrapCorrection)
{
    if (wrapCorrection && byte < kWrapLimit) return byte + kWrapOffset;
    return byte;
}

void RunMonitor(const RunOptions& options)
{
    unsigned char readBuffer[kReadBufferSize];
    for (;;) {
        DWORD byteCount = 0;
        // A failed read counts as a read of no bytes.
        if (!ReadFile(receiverPort, readBuffer, kReadBufferSize, &byteCount, nullptr)) {
            byteCount = 0;
        }
        if (byteCount > kReadBufferSize) byteCount = kReadBufferSize;
        for (DWORD index = 0; index < byteCount; ++index) ShowByte(options, readBuffer[index]);

        if (IsKeyWaiting() && !HandleKey(ReadKey())) {
            CloseReceiverPort();
            return;
        }
    }
}
