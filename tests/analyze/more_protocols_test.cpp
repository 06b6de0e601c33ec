// Samsung32, JVC, LG, Kaseikyo, Sharp, RC5 and RC6 from generated burst
// trains: codes as the protocols define them, held buttons, jitter, broken
// frames, wrapped pauses, and the readings that share a leader.
#include <gtest/gtest.h>

#include "protocol_cases.h"

namespace {

const int32_t kNone = kNoValue;
const double kPress = 300000;

uint32_t SamsungData(uint32_t address, uint32_t command) {
    return (address & 0xFF) | ((address & 0xFF) << 8) | ((command & 0xFF) << 16) | ((~command & 0xFF) << 24);
}

uint32_t SharpBits(uint32_t address, uint32_t command) {
    return (address & 0x1F) | ((command & 0xFF) << 5) | (1u << 13);
}

void AddSharpPair(IrSignal* s, double at, uint32_t bits, uint32_t secondBits) {
    AddFrame(s, at, SharpPeriods(bits));
    AddFrame(s, at + 40000, SharpPeriods(secondBits));
}

uint32_t Rc5Bits(uint32_t address, uint32_t command, uint32_t toggle) {
    const uint32_t secondStart = command < 64 ? 1 : 0;
    return (1u << 13) | (secondStart << 12) | ((toggle & 1) << 11) | ((address & 0x1F) << 6) | (command & 0x3F);
}

// Bytes of an RC5 frame: one per burst after the first.
int64_t Rc5Bytes(uint32_t bits) { return static_cast<int64_t>(Rc5Offsets(bits).size()) - 1; }
int64_t Rc6Bytes(uint32_t a, uint32_t c, uint32_t t) { return static_cast<int64_t>(Rc6Offsets(a, c, t).size()) - 1; }

const std::vector<ProtocolCase>& Cases() {
    static const std::vector<ProtocolCase> cases = {
        {"Samsung32 held: each frame its own",
         [](IrSignal* s) {
             for (int32_t i = 0; i < 3; ++i) {
                 AddFrame(s, i * 108000, SamsungPeriods(SamsungData(0x07, 0x02)));
             }
         },
         {{ProtocolSamsung32, 0, 32, 0xFD020707, 0x07, 0x02, 0, kNone},
          {ProtocolSamsung32, 34, 32, 0xFD020707, 0x07, 0x02, 0, kNone},
          {ProtocolSamsung32, 68, 32, 0xFD020707, 0x07, 0x02, 0, kNone}},
         0.08},
        {"Samsung32 command without its complement",
         [](IrSignal* s) { AddFrame(s, 0, SamsungPeriods(0x12340707)); },
         {{ProtocolSamsung32, 0, 32, 0x12340707, 0x07, kNone, 0, kNone}}},
        {"JVC with leader-less repeats",
         [](IrSignal* s) {
             AddFrame(s, 0, JvcPeriods(0x03, 0x17, true));
             AddFrame(s, 55000, JvcPeriods(0x03, 0x17, false));
             AddFrame(s, 110000, JvcPeriods(0x03, 0x17, false));
             AddFrame(s, kPress, JvcPeriods(0x03, 0x18, true));
         },
         // frame 0..16, pause, repeat 18..33, pause, repeat 35..50, pause
         {{ProtocolJvc, 0, 16, 0x1703, 0x03, 0x17, 2, kNone},
          {ProtocolJvc, 52, 16, 0x1803, 0x03, 0x18, 0, kNone}},
         0.08},
        {"JVC, not NEC, across a pause that reads as a bit",
         [](IrSignal* s) {
             AddFrame(s, 0, JvcPeriods(0x21, 0x42, true));
             // leader + 16 bits + this pause + 15 bits would be 32 NEC bits
             AddFrame(s, AfterTicks(*s, 3 * 256 + 17), JvcPeriods(0x21, 0x42, false));
             AddFrame(s, LastStart(*s) + kPress, JvcPeriods(0x21, 0x43, true));
         },
         {{ProtocolJvc, 0, 16, 0x4221, 0x21, 0x42, 1, kNone},
          {ProtocolJvc, 35, 16, 0x4321, 0x21, 0x43, 0, kNone}}},
        {"LG: 28 bits behind NEC's leader, with NEC-style repeats",
         [](IrSignal* s) {
             AddFrame(s, 0, LgPeriods(0x880A0A5));
             AddFrame(s, 108000, NecRepeatPeriods());
             AddFrame(s, kPress, NecPeriods(NecData(0x04, 0x08)));
         },
         {{ProtocolLg, 0, 28, 0x880A0A5, kNone, kNone, 1, kNone},
          {ProtocolNec, 32, 32, NecData(0x04, 0x08), 0x04, 0x08, 0, kNone}},
         0.08},
        {"LG with the shorter leader, its pause reading as a bit",
         [](IrSignal* s) {
             std::vector<double> periods = LgPeriods(0x1234567);
             periods[0] = 8400 + 4200;
             AddFrame(s, 0, periods);
             AddFrame(s, AfterTicks(*s, 2 * 256 + 18), LgPeriods(0x1234567));
         },
         {{ProtocolLg, 0, 28, 0x1234567, kNone, kNone, 0, kNone},
          {ProtocolLg, 30, 28, 0x1234567, kNone, kNone, 0, kNone}}},
        {"Kaseikyo: vendor, then 32 data bits",
         [](IrSignal* s) {
             AddFrame(s, 0, KaseikyoPeriods(0x2002 | (0x3D0A0800ull << 16)));
             AddFrame(s, 130000, KaseikyoPeriods(0x2002 | (0x3D0A0801ull << 16)));
         },
         {{ProtocolKaseikyo, 0, 48, 0x3D0A08002002ull, kNone, kNone, 0, kNone},
          {ProtocolKaseikyo, 50, 48, 0x3D0A08012002ull, kNone, kNone, 0, kNone}},
         0.08},
        {"Sharp: only the pair is a frame",
         [](IrSignal* s) {
             AddSharpPair(s, 0, SharpBits(0x11, 0x5A), SharpBits(0x11, 0x5A) ^ 0x7FE0);
             // a lone frame, then a pair whose second frame is not inverted
             AddFrame(s, kPress, SharpPeriods(SharpBits(0x11, 0x5B)));
             AddSharpPair(s, 2 * kPress + 7000, SharpBits(0x11, 0x5C), SharpBits(0x11, 0x5C));
             AddSharpPair(s, 3 * kPress, SharpBits(0x02, 0xC3), SharpBits(0x02, 0xC3) ^ 0x7FE0);
         },
         // pair 0..30, pause; lone 32..46, pause; bad pair 48..78, pause
         {{ProtocolSharp, 0, 15, SharpBits(0x11, 0x5A), 0x11, 0x5A, 0, kNone},
          {ProtocolSharp, 80, 15, SharpBits(0x02, 0xC3), 0x02, 0xC3, 0, kNone}},
         0.08, 1},
        {"RC5 with toggle, RC5X, and a last bit without a burst",
         [](IrSignal* s) {
             AddOffsets(s, 0, Rc5Offsets(Rc5Bits(0x05, 0x35, 1)));
             AddOffsets(s, 113778, Rc5Offsets(Rc5Bits(0x0A, 0x45, 0)));
             AddOffsets(s, 2 * 113778, Rc5Offsets(Rc5Bits(0x0A, 0x02, 1)));
         },
         {{ProtocolRc5, 0, 14, 0x3975, 0x05, 0x35, 0, 1},
          {ProtocolRc5, Rc5Bytes(0x3975) + 1, 14, 0x2285, 0x0A, 0x45, 0, 0},
          {ProtocolRc5, Rc5Bytes(0x3975) + Rc5Bytes(0x2285) + 2, 14, 0x3A82, 0x0A, 0x02, 0, 1}},
         0.08},
        {"RC5 ending in a space, its pause reading as 2T",
         [](IrSignal* s) {
             AddOffsets(s, 0, Rc5Offsets(Rc5Bits(0x0A, 0x02, 1)));
             // the next frame's first burst (889 us into it) 256 + 28 ticks on
             AddOffsets(s, AfterTicks(*s, 256 + 28) - 889, Rc5Offsets(Rc5Bits(0x0A, 0x02, 1)));
         },
         {{ProtocolRc5, 0, 14, 0x3A82, 0x0A, 0x02, 0, 1},
          {ProtocolRc5, Rc5Bytes(0x3A82) + 1, 14, 0x3A82, 0x0A, 0x02, 0, 1}}},
        {"RC6 mode 0 with the toggle",
         [](IrSignal* s) {
             AddOffsets(s, 0, Rc6Offsets(0x04, 0x0C, 0));
             AddOffsets(s, 107000, Rc6Offsets(0x04, 0x0C, 0));
             AddOffsets(s, kPress, Rc6Offsets(0xF1, 0x81, 1));
         },
         {{ProtocolRc6, 0, 21, 0x10040C, 0x04, 0x0C, 0, 0},
          {ProtocolRc6, Rc6Bytes(4, 12, 0) + 1, 21, 0x10040C, 0x04, 0x0C, 0, 0},
          {ProtocolRc6, 2 * (Rc6Bytes(4, 12, 0) + 1), 21, 0x11F181, 0xF1, 0x81, 0, 1}},
         0.08},
        {"RC6 broken off, then whole",
         [](IrSignal* s) {
             std::vector<double> offsets = Rc6Offsets(0x04, 0x0C, 1);
             offsets.resize(8);
             AddOffsets(s, 0, offsets);
             AddOffsets(s, 107000, Rc6Offsets(0x04, 0x0D, 1));
         },
         {{ProtocolRc6, 8, 21, 0x11040D, 0x04, 0x0D, 0, 1}},
         0, 1},
    };
    return cases;
}

TEST(MoreProtocols, Cases) {
    for (const ProtocolCase& c : Cases()) {
        CheckProtocolCase(c);
    }
}

}  // namespace
