// NEC and Sony from generated burst trains: codes as the protocols define
// them, repeats, jitter, broken frames, wrapped pauses, Sony's length.
#include <gtest/gtest.h>

#include "protocol_cases.h"

namespace {

const double kNecPeriod = 108000;
const double kSonyPeriod = 45000;
const double kPress = 300000;  // between separate presses

// A press of NEC address/command with `repeats` repeat frames, at `at`.
void AddNecPress(IrSignal* s, double at, uint32_t data, int32_t repeats) {
    AddFrame(s, at, NecPeriods(data));
    for (int32_t r = 1; r <= repeats; ++r) {
        AddFrame(s, at + r * kNecPeriod, NecRepeatPeriods());
    }
}

uint32_t SonyCode(uint32_t command, uint32_t address, int32_t) {
    return (command & 0x7F) | (address << 7);
}

const int32_t kNone = kNoValue;

const std::vector<ProtocolCase>& NecSonyCases() {
    static const std::vector<ProtocolCase> cases = {
        {"NEC nominal",
         [](IrSignal* s) { AddNecPress(s, 0, NecData(0x00, 0x45), 0); },
         {{ProtocolNec, 0, 32, 0xBA45FF00, 0x00, 0x45, 0, kNone}}},
        {"NEC 16-bit address",
         [](IrSignal* s) { AddNecPress(s, 0, 0xBA451234, 0); },
         {{ProtocolNec, 0, 32, 0xBA451234, 0x1234, 0x45, 0, kNone}}},
        {"NEC command without its complement",
         [](IrSignal* s) { AddNecPress(s, 0, 0x1245FF00, 0); },
         {{ProtocolNec, 0, 32, 0x1245FF00, 0x00, kNone, 0, kNone}}},
        {"NEC held: repeats, then a second press",
         [](IrSignal* s) {
             AddNecPress(s, 0, NecData(0x04, 0x08), 2);
             AddNecPress(s, 2 * kNecPeriod + kPress, NecData(0x04, 0x09), 0);
         },
         // frame 0..32, pause, repeat, pause, repeat, pause, leader at 38
         {{ProtocolNec, 0, 32, NecData(0x04, 0x08), 0x04, 0x08, 2, kNone},
          {ProtocolNec, 38, 32, NecData(0x04, 0x09), 0x04, 0x09, 0, kNone}}},
        {"NEC with 8 % jitter",
         [](IrSignal* s) {
             for (int32_t i = 0; i < 6; ++i) {
                 AddNecPress(s, i * kPress, NecData(0x10 + i, 0x20 + i), i % 3);
             }
         },
         {{ProtocolNec, 0, 32, NecData(0x10, 0x20), 0x10, 0x20, 0, kNone},
          {ProtocolNec, 34, 32, NecData(0x11, 0x21), 0x11, 0x21, 1, kNone},
          {ProtocolNec, 70, 32, NecData(0x12, 0x22), 0x12, 0x22, 2, kNone},
          {ProtocolNec, 108, 32, NecData(0x13, 0x23), 0x13, 0x23, 0, kNone},
          {ProtocolNec, 142, 32, NecData(0x14, 0x24), 0x14, 0x24, 1, kNone},
          {ProtocolNec, 178, 32, NecData(0x15, 0x25), 0x15, 0x25, 2, kNone}},
         0.08},
        // (16 or more bits after the leader would be a JVC frame: its leader
        // window holds NEC's)
        {"NEC broken off after 12 bits, then a whole frame",
         [](IrSignal* s) {
             std::vector<double> periods = NecPeriods(NecData(0x01, 0x02));
             periods.resize(1 + 12);
             AddFrame(s, 0, periods);
             AddNecPress(s, 100000, NecData(0x01, 0x02), 0);
         },
         // the broken frame's 13 bytes and the pause are unclaimed
         {{ProtocolNec, 14, 32, NecData(0x01, 0x02), 0x01, 0x02, 0, kNone}},
         0, 1},
        {"NEC after wrapped pauses that read as a leader and as a bit",
         [](IrSignal* s) {
             AddNecPress(s, 0, NecData(0x07, 0x01), 0);
             AddNecPress(s, AfterTicks(*s, 3 * 256 + 211), NecData(0x07, 0x02), 0);
             AddNecPress(s, AfterTicks(*s, 4 * 256 + 18), NecData(0x07, 0x03), 0);
         },
         {{ProtocolNec, 0, 32, NecData(0x07, 0x01), 0x07, 0x01, 0, kNone},
          {ProtocolNec, 34, 32, NecData(0x07, 0x02), 0x07, 0x02, 0, kNone},
          {ProtocolNec, 68, 32, NecData(0x07, 0x03), 0x07, 0x03, 0, kNone}}},
        {"Sony 12 held: three frames of their own",
         [](IrSignal* s) {
             for (int32_t i = 0; i < 3; ++i) {
                 AddFrame(s, i * kSonyPeriod, SonyPeriods(SonyCode(0x15, 0x01, 12), 12));
             }
         },
         {{ProtocolSony, 0, 12, 0x095, 0x1, 0x15, 0, kNone},
          {ProtocolSony, 13, 12, 0x095, 0x1, 0x15, 0, kNone},
          {ProtocolSony, 26, 12, 0x095, 0x1, 0x15, 0, kNone}}},
        {"Sony 15 and 20, the length from what follows",
         [](IrSignal* s) {
             AddFrame(s, 0, SonyPeriods(SonyCode(0x15, 0x97, 15), 15));
             AddFrame(s, kSonyPeriod, SonyPeriods(0x15 | (0x01 << 7) | (0x5A << 12), 20));
             AddFrame(s, 2 * kSonyPeriod, SonyPeriods(SonyCode(0x15, 0x97, 15), 15));
         },
         // data: the measured 14 and 19 bits; address: the measured ones
         {{ProtocolSony, 0, 15, 0x0B95, 0x17, 0x15, 0, kNone},
          {ProtocolSony, 16, 20, 0x5A095, 0xB41, 0x15, 0, kNone},
          {ProtocolSony, 37, 15, 0x0B95, 0x17, 0x15, 0, kNone}}},
        {"Sony 12 whose pause reads as a bit",
         [](IrSignal* s) {
             AddFrame(s, 0, SonyPeriods(SonyCode(0x2A, 0x03, 12), 12));
             AddFrame(s, AfterTicks(*s, 256 + 28), SonyPeriods(SonyCode(0x2A, 0x03, 12), 12));
         },
         {{ProtocolSony, 0, 12, 0x1AA, 0x3, 0x2A, 0, kNone},
          {ProtocolSony, 13, 12, 0x1AA, 0x3, 0x2A, 0, kNone}}},
        {"Sony with 8 % jitter",
         [](IrSignal* s) {
             for (int32_t i = 0; i < 4; ++i) {
                 AddFrame(s, i * kSonyPeriod, SonyPeriods(SonyCode(0x40 + i, 0x01, 12), 12));
             }
         },
         {{ProtocolSony, 0, 12, 0x0C0, 0x1, 0x40, 0, kNone},
          {ProtocolSony, 13, 12, 0x0C1, 0x1, 0x41, 0, kNone},
          {ProtocolSony, 26, 12, 0x0C2, 0x1, 0x42, 0, kNone},
          {ProtocolSony, 39, 12, 0x0C3, 0x1, 0x43, 0, kNone}},
         0.08},
    };
    return cases;
}

TEST(PulseProtocols, NecAndSonyCases) {
    for (const ProtocolCase& c : NecSonyCases()) {
        CheckProtocolCase(c);
    }
}

}  // namespace
