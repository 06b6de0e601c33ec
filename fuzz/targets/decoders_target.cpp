// Both decoders from any record, with any value and any frame length: each
// call prints nothing, or exactly one line of its own decoder's form with
// the code its record holds (NEC also the repeat mark), the state stays one
// of the decoder's states, a bit count that was in range stays in range, and
// the bit that fills a frame (32 for NEC, frame length - 1 held to 1..32 for
// Sony) prints its code line.
//
// Input: the two records (state and bit count each a TakeFuzzNumber, code
// a 32-bit word), then steps, each a control byte (bits 0-1 the value: a
// 32-bit word, a byte, a byte + 256 or a byte; bits 2-3 the frame length:
// 12, 15, 20 or a TakeFuzzNumber; bits 4-5 which decoder: both, NEC, Sony,
// both; bit 6 the records are overwritten first) and its operands.

#include <cstdint>
#include <cstdio>
#include <string>

#include "decode/nec_decoder.h"
#include "decode/sony_decoder.h"
#include "fakes/fake_console.h"
#include "support/fuzz_input.h"

namespace {

constexpr int32_t kStandardFrameLengths[] = {12, 15, 20};
constexpr int32_t kNecCodeBits = 32;

template <typename Record>
void TakeRecord(FuzzInput& input, Record& record)
{
    record.state = TakeFuzzNumber(input);
    record.bitCount = TakeFuzzNumber(input);
    record.code = TakeFuzzWord(input);
}

std::string CodeLine(const char* format, uint32_t code)
{
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(code));
    return text;
}

unsigned TakeValue(FuzzInput& input, uint8_t control)
{
    switch (control & 3) {
        case 0: return TakeFuzzWord(input);
        case 2: return TakeFuzzByte(input) + 256u;
        default: return TakeFuzzByte(input);
    }
}

int32_t TakeFrameLength(FuzzInput& input, uint8_t control)
{
    const unsigned choice = (control >> 2) & 3;
    if (choice < 3) return kStandardFrameLengths[choice];
    return TakeFuzzNumber(input);
}

// The most bit values a Sony frame of this length can hold before it
// prints: frame length - 1, held to 1..32.
int32_t SonyBitLimit(int32_t frameLength)
{
    if (frameLength < 2) return 1;
    if (frameLength > 33) return 32;
    return frameLength - 1;
}

void CheckNecStep(unsigned value)
{
    const bool countInRange = necDecoder.bitCount >= 0 && necDecoder.bitCount <= kNecCodeBits;
    const bool frameOpen = countInRange && necDecoder.bitCount < kNecCodeBits;
    fakeConsoleOutput.clear();
    DecodeNecInterval(value);
    const std::string& printed = fakeConsoleOutput;
    FuzzCheck(necDecoder.state >= NecIdle && necDecoder.state <= NecRepeatLeader,
              "NEC state out of range");
    if (countInRange) {
        FuzzCheck(necDecoder.bitCount >= 0 && necDecoder.bitCount <= kNecCodeBits,
                  "NEC bit count left its range");
    }
    if (frameOpen && necDecoder.bitCount == kNecCodeBits) {
        FuzzCheck(!printed.empty(), "the 32nd NEC bit printed no code line");
    }
    if (printed.empty()) return;
    if (printed == "Rpt ") {
        FuzzCheck(necDecoder.state == NecAwaitRepeat, "repeat mark without waiting for the next");
        return;
    }
    FuzzCheck(printed == CodeLine("\nNEC Code: %08X\n", necDecoder.code),
              "NEC printed something other than its code line or repeat mark");
    FuzzCheck(necDecoder.state == NecComplete, "NEC code line without a complete frame");
}

void CheckSonyStep(unsigned value, int32_t frameLength)
{
    const int32_t limit = SonyBitLimit(frameLength);
    const bool countInRange = sonyDecoder.bitCount >= 0 && sonyDecoder.bitCount < limit;
    fakeConsoleOutput.clear();
    DecodeSonyInterval(value, frameLength);
    const std::string& printed = fakeConsoleOutput;
    FuzzCheck(sonyDecoder.state >= SonyIdle && sonyDecoder.state <= SonyComplete,
              "Sony state out of range");
    if (countInRange) {
        FuzzCheck(sonyDecoder.bitCount >= 0 && sonyDecoder.bitCount <= limit,
                  "Sony bit count left its range");
        // The bit value that fills the frame prints its code at once.
        if (sonyDecoder.bitCount == limit) {
            FuzzCheck(!printed.empty(), "a full Sony frame printed no code line");
        }
    }
    if (printed.empty()) return;
    FuzzCheck(printed == CodeLine("\nSony Code: %05X\n", sonyDecoder.code),
              "Sony printed something other than its code line");
    FuzzCheck(sonyDecoder.state == SonyComplete, "Sony code line without a complete frame");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input = {data, size, 0};
    ResetFakeConsole();
    TakeRecord(input, necDecoder);
    TakeRecord(input, sonyDecoder);
    while (HasFuzzBytes(input)) {
        const uint8_t control = TakeFuzzByte(input);
        if (control & 0x40) {
            TakeRecord(input, necDecoder);
            TakeRecord(input, sonyDecoder);
        }
        const unsigned value = TakeValue(input, control);
        const int32_t frameLength = TakeFrameLength(input, control);
        const unsigned which = (control >> 4) & 3;
        if (which != 2) CheckNecStep(value);
        if (which != 1) CheckSonyStep(value, frameLength);
    }
    return 0;
}
