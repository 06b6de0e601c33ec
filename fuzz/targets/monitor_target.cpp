// The real RunMonitor, with both real decoders and the real close, over
// scripted reads and keys.  The whole output is compared with what the
// display rules, the key texts and the two protocols give, worked out here
// independently of the monitor and the decoders; the port's calls must be
// reads only, then DTR low, RTS low and one close.
//
// Input: one byte of options (bit 0 -a, bit 1 -n, bits 2-3 Sony off/12/15/20,
// bit 4 -r, bit 5 -t), then reads, each a header byte (bits 0-4 the byte
// count modulo 17, bits 5-6 the number of keys pressed during the read,
// bit 7 a failing read), the read's bytes, then its key codes.

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "app/monitor_loop.h"
#include "decode/nec_decoder.h"
#include "decode/sony_decoder.h"
#include "fakes/fake_console.h"
#include "link/receiver_port.h"
#include "support/fuzz_input.h"
#include "support/fuzz_serial.h"

namespace {

constexpr int32_t kSonyLengthChoices[] = {0, 12, 15, 20};
constexpr int kEnterKey = 13;
constexpr int kSpaceKey = 32;

bool Within(unsigned value, unsigned low, unsigned high) { return value >= low && value <= high; }

std::string Formatted(const char* format, unsigned value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// NEC: a 192..235 leader, then 32 bits of 14..22 (0) or 30..40 (1), first
// bit lowest; another leader restarts, anything else drops the frame.
// After a code the next value is skipped, then each 157..191 value makes
// the value after it print the repeat mark, until a leader comes.
struct NecModel {
    enum { kIdle, kBits, kSkipOne, kAwaitRepeat, kRepeatNext } stage = kIdle;
    int bits = 0;
    uint32_t code = 0;
};

void ExpectNec(NecModel& nec, unsigned value, std::string& output)
{
    const bool leader = Within(value, 192, 235);
    switch (nec.stage) {
        case NecModel::kIdle:
        case NecModel::kBits:
            if (leader) {
                nec = NecModel{};
                nec.stage = NecModel::kBits;
            } else if (nec.stage == NecModel::kBits &&
                       (Within(value, 14, 22) || Within(value, 30, 40))) {
                if (value >= 30) nec.code |= uint32_t{1} << nec.bits;
                if (++nec.bits == 32) {
                    output += Formatted("\nNEC Code: %08X\n", nec.code);
                    nec.stage = NecModel::kSkipOne;
                }
            } else {
                nec.stage = NecModel::kIdle;
            }
            break;
        case NecModel::kSkipOne:
            nec.stage = NecModel::kAwaitRepeat;
            break;
        case NecModel::kAwaitRepeat:
            if (leader) {
                nec = NecModel{};
                nec.stage = NecModel::kBits;
            } else if (Within(value, 157, 191)) {
                nec.stage = NecModel::kRepeatNext;
            }
            break;
        case NecModel::kRepeatNext:
            output += "Rpt ";
            nec.stage = NecModel::kAwaitRepeat;
            break;
    }
}

// Sony: a 44..50 start, then frame length - 1 bits of 17..21 (0) or 26..30
// (1), first bit lowest; another start restarts, anything else drops the
// frame; the value after a code is skipped.
struct SonyModel {
    enum { kIdle, kBits, kSkipOne } stage = kIdle;
    int bits = 0;
    uint32_t code = 0;
};

void ExpectSony(SonyModel& sony, unsigned value, int32_t frameLength, std::string& output)
{
    if (sony.stage == SonyModel::kSkipOne) {
        sony.stage = SonyModel::kIdle;
    } else if (Within(value, 44, 50)) {
        sony = SonyModel{};
        sony.stage = SonyModel::kBits;
    } else if (sony.stage == SonyModel::kBits && (Within(value, 17, 21) || Within(value, 26, 30))) {
        if (value >= 26) sony.code |= uint32_t{1} << sony.bits;
        if (++sony.bits == frameLength - 1) {
            output += Formatted("\nSony Code: %05X\n", sony.code);
            sony.stage = SonyModel::kSkipOne;
        }
    } else {
        sony.stage = SonyModel::kIdle;
    }
}

struct MonitorModel {
    RunOptions options;
    NecModel nec;
    SonyModel sony;
    std::deque<int> keys;
    std::string output;
    size_t reads = 0;
};

void ExpectByte(MonitorModel& model, unsigned char byte)
{
    const RunOptions& options = model.options;
    if (options.rawText) {
        model.output.push_back(static_cast<char>(byte));
        return;
    }
    const unsigned value = (options.wrapCorrection && byte <= 2) ? byte + 256u : byte;
    model.output += options.showMicroseconds ? Formatted("  %5u ", value * 64) : Formatted("%3u ", value);
    if (options.necDecoding) ExpectNec(model.nec, value, model.output);
    if (options.sonyBits != 0) ExpectSony(model.sony, value, options.sonyBits, model.output);
}

// Gives false once a read's key ends the run.
bool ExpectRead(MonitorModel& model, const FuzzRead* read)
{
    ++model.reads;
    if (read == nullptr) {
        model.keys.push_back(kFuzzScriptEndKey);
    } else {
        if (read->succeeds) {
            for (unsigned char byte : read->bytes) ExpectByte(model, byte);
        }
        model.keys.insert(model.keys.end(), read->keysPressed.begin(), read->keysPressed.end());
    }
    if (model.keys.empty()) return true;
    const int key = model.keys.front();
    model.keys.pop_front();
    if (key == kEnterKey) model.output += "\n\n";
    if (key == kSpaceKey) model.output += "\n";
    return key == kEnterKey || key == kSpaceKey;
}

std::vector<FuzzRead> TakeReads(FuzzInput& input)
{
    std::vector<FuzzRead> reads;
    while (HasFuzzBytes(input)) {
        const uint8_t header = TakeFuzzByte(input);
        FuzzRead read;
        read.succeeds = (header & 0x80) == 0;
        const unsigned byteCount = (header & 0x1F) % (kReadBufferSize + 1);
        for (unsigned i = 0; i < byteCount; ++i) read.bytes.push_back(TakeFuzzByte(input));
        const unsigned keyCount = (header >> 5) & 3;
        for (unsigned i = 0; i < keyCount; ++i) read.keysPressed.push_back(TakeFuzzByte(input));
        reads.push_back(read);
    }
    return reads;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input = {data, size, 0};
    const uint8_t flags = TakeFuzzByte(input);
    RunOptions options;
    options.rawText = (flags & 0x01) != 0;
    options.necDecoding = (flags & 0x02) != 0;
    options.sonyBits = kSonyLengthChoices[(flags >> 2) & 3];
    options.wrapCorrection = (flags & 0x10) == 0;
    options.showMicroseconds = (flags & 0x20) != 0;
    const std::vector<FuzzRead> reads = TakeReads(input);

    MonitorModel model;
    model.options = options;
    size_t next = 0;
    while (ExpectRead(model, next < reads.size() ? &reads[next] : nullptr)) ++next;

    ResetFuzzSerial();
    ResetFakeConsole();
    necDecoder = NecDecoder{};
    sonyDecoder = SonyDecoder{};
    fuzzReads.assign(reads.begin(), reads.end());
    receiverPort = FuzzPortHandle();
    RunMonitor(options);

    FuzzCheck(fakeConsoleOutput == model.output, "the output differs from the expected display");
    std::vector<FuzzSerialCall> expectedCalls(model.reads, kFuzzCallRead);
    expectedCalls.insert(expectedCalls.end(), {kFuzzCallClearDtr, kFuzzCallClearRts, kFuzzCallClose});
    FuzzCheck(fuzzSerialCalls == expectedCalls,
              "the port calls are not the reads, then DTR low, RTS low and one close");
    FuzzCheck(receiverPort == nullptr, "receiverPort is not cleared after the close");
    return 0;
}
