// irtick-sim's samsung, jvc, lg, kaseikyo, sharp, rc5 and rc6 items: the
// bytes and times a receiver gives for them, worked out by hand from the
// protocols' timings (a byte is the burst-to-burst interval in ticks of
// 64 us, rounded, modulo 256).
#include "sim_script.h"
#include "sim_script_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kNoLeader = -1;

// One pulse-distance frame's bytes: the leader's (if any), then one per bit
// in sending order.  `bits` is written as sent, '0' and '1', blanks ignored.
std::vector<int> FrameBytes(int leader, const char* bits, int zero, int one) {
    std::vector<int> bytes;
    if (leader != kNoLeader) bytes.push_back(leader);
    for (const char* c = bits; *c != '\0'; ++c) {
        if (*c != ' ') bytes.push_back(*c == '1' ? one : zero);
    }
    return bytes;
}

// Bit periods and their bytes, protocol by protocol:
//   Samsung32  leader 4500 + 4500 = 9000 -> 140.6 -> 141; 1120 -> 17.5 -> 18
//              (half a tick rounds up); 2250 -> 35.2 -> 35
//   JVC        8400 + 4200 = 12600 -> 196.9 -> 197; 1050 -> 16.4 -> 16;
//              2100 -> 32.8 -> 33
//   LG         9000 + 4500 = 13500 -> 210.9 -> 211; 1120 -> 18; 2250 -> 35
//   Kaseikyo   T = 432: 8T + 4T = 5184 -> 81; 2T = 864 -> 13.5 -> 14;
//              4T = 1728 -> 27
//   Sharp      no leader; 1000 -> 15.6 -> 16; 2000 -> 31.25 -> 31
struct PulseCase {
    const char* item;
    int64_t leaderUs;  // 0: none
    int64_t zeroUs;
    int64_t oneUs;
    int leader;        // kNoLeader: none
    int zero;
    int one;
    const char* bits;  // as sent
    size_t laterEvents = 0;  // after the frame: Sharp's second frame, which kHeldCases checks
};

const PulseCase kPulseCases[] = {
    // Samsung32: address, address, command, inverted command, each lowest
    // bit first.
    {"samsung:0x07:0x02", 9000, 1120, 2250, 141, 18, 35,
     "11100000 11100000 01000000 10111111"},
    {"samsung:0xFF:0:1", 9000, 1120, 2250, 141, 18, 35,
     "11111111 11111111 00000000 11111111"},
    // JVC: address, command, lowest bit first.
    {"jvc:0x03:0x01", 12600, 1050, 2100, 197, 16, 33, "11000000 10000000"},
    {"jvc:0xFF:0x80", 12600, 1050, 2100, 197, 16, 33, "11111111 00000001"},
    // LG: the 28 bits highest first.
    {"lg:0x8800347", 13500, 1120, 2250, 211, 18, 35, "1000 1000 0000 0000 0011 0100 0111"},
    {"lg:0xFFFFFFF", 13500, 1120, 2250, 211, 18, 35, "1111 1111 1111 1111 1111 1111 1111"},
    // Kaseikyo: the 16 vendor bits, then the 32 data bits, lowest first.
    {"kaseikyo:0x2002:0x01234567", 5184, 864, 1728, 81, 14, 27,
     "0100000000000100 11100110 10100010 11000100 10000000"},
    {"kaseikyo:0xFFFF:0xFFFFFFFF", 5184, 864, 1728, 81, 14, 27,
     "1111111111111111 11111111 11111111 11111111 11111111"},
    // Sharp's first frame: 5 address bits, 8 command bits, expansion 1,
    // check 0.
    {"sharp:1:2", 0, 1000, 2000, kNoLeader, 16, 31, "10000 01000000 1 0", 16},
    {"sharp:0x1F:0xFF", 0, 1000, 2000, kNoLeader, 16, 31, "11111 11111111 1 0", 16},
};

TEST(SimPulseDistanceTest, LeaderThenOneByteForEachBitAtItsPeriodsEnd) {
    for (const PulseCase& testCase : kPulseCases) {
        SCOPED_TRACE(testCase.item);
        const std::vector<int> expected =
            FrameBytes(testCase.leader, testCase.bits, testCase.zero, testCase.one);
        std::vector<SendEvent> events = EventsOf({testCase.item});
        // The closing burst ends the last bit; the pause after it sends
        // nothing.
        ASSERT_EQ(events.size(), expected.size() + testCase.laterEvents);
        events.resize(expected.size());
        EXPECT_EQ(ValuesOf(events), expected);
        int64_t at = testCase.leaderUs;
        size_t i = 0;
        if (testCase.leader != kNoLeader) {
            EXPECT_EQ(events[i++].sendMicroseconds, at);
        }
        for (; i < events.size(); ++i) {
            at += events[i].value == testCase.one ? testCase.oneUs : testCase.zeroUs;
            EXPECT_EQ(events[i].sendMicroseconds, at) << "event " << i;
        }
    }
}

// What a held button sends after the first frame, one frame period after
// the frame before.  The later frame's first burst ends the pause after
// the first frame's closing burst.
struct HeldCase {
    const char* item;
    size_t firstFrameEvents;
    int64_t laterFrameUs;
    int pauseByte;
    std::vector<int> laterBytes;  // after the pause byte
};

const HeldCase kHeldCases[] = {
    // 14 ones, 18 zeros: closing burst at 9000 + 14 x 2250 + 18 x 1120 =
    // 60660; 47340 us -> 739.7 -> 740 mod 256 = 228.  The whole frame again.
    {"samsung:0x07:0x02:2", 33, 108000, 228,
     FrameBytes(141, "11100000 11100000 01000000 10111111", 18, 35)},
    // 3 ones, 13 zeros: closing burst at 12600 + 6300 + 13650 = 32550;
    // 22450 us -> 350.8 -> 351 mod 256 = 95.  The bits again, no leader.
    {"jvc:0x03:0x01:1", 17, 55000, 95, FrameBytes(kNoLeader, "11000000 10000000", 16, 33)},
    // 8 ones, 20 zeros: closing burst at 13500 + 18000 + 22400 = 53900;
    // 54100 us -> 845.3 -> 845 mod 256 = 77.  Repeat frames: 9000 + 2250 =
    // 11250 -> 175.8 -> 176; to the next one 96750 -> 1511.7 -> 1512 mod
    // 256 = 232.
    {"lg:0x8800347:2", 29, 108000, 77, {176, 232, 176}},
    // 3 ones, 12 zeros: closing burst at 18000; 22000 us -> 343.75 -> 344
    // mod 256 = 88.  The second frame: command (0x02 -> 0xFD), expansion
    // and check inverted, the address kept.
    {"sharp:1:2", 15, 40000, 88, FrameBytes(kNoLeader, "10000 10111111 0 1", 16, 31)},
};

TEST(SimPulseDistanceTest, HeldButtonFramesFollowOneFramePeriodApart) {
    for (const HeldCase& testCase : kHeldCases) {
        SCOPED_TRACE(testCase.item);
        const std::vector<SendEvent> events = EventsOf({testCase.item});
        ASSERT_EQ(events.size(), testCase.firstFrameEvents + 1 + testCase.laterBytes.size());
        const SendEvent& pause = events[testCase.firstFrameEvents];
        EXPECT_EQ(pause.sendMicroseconds, testCase.laterFrameUs);
        EXPECT_EQ(pause.value, testCase.pauseByte);
        std::vector<SendEvent> later(events.begin() + testCase.firstFrameEvents + 1, events.end());
        EXPECT_EQ(ValuesOf(later), testCase.laterBytes);
    }
    // LG's repeat frames: leader bursts 108 ms apart, each with its closing
    // burst 11.25 ms later.
    const std::vector<SendEvent> lg = EventsOf({"lg:0x8800347:2"});
    std::vector<SendEvent> repeats(lg.begin() + 29, lg.end());
    EXPECT_EQ(TimesOf(repeats), (std::vector<int64_t>{108000, 119250, 216000, 227250}));
}

// Bi-phase: T is RC5's 888.89 us and RC6's 444.44 us; a burst starts at
// every mark half-bit that follows a space (s = space, M = mark below), the
// frame at its first burst, and unit k of it at round(k x T).
// Bytes: T = 444.4 -> 6.9 -> 7 (never alone in these frames), 2T = 888.9 ->
// 13.9 -> 14, 3T = 1333.3 -> 20.8 -> 21, RC5 2T = 1777.8 -> 27.8 -> 28,
// 3 RC5 T = 2666.7 -> 41.7 -> 42, 4 RC5 T = 3555.6 -> 55.6 -> 56.
struct BiphaseCase {
    const char* item;
    std::vector<int64_t> burstsUs;
    std::vector<int> bytes;
};

const BiphaseCase kBiphaseCases[] = {
    // RC5 (1 = sM, 0 = Ms) bits S1 1, S2 1, toggle 0, address 00101,
    // command 000011: sM sM Ms Ms Ms sM Ms sM Ms Ms Ms Ms sM sM.  Less the
    // leading s, bursts start at units 0, 2, 5, 7, 10, 14, 17, 19, 21, 24, 26.
    {"rc5:5:3",
     {0, 1778, 4444, 6222, 8889, 12444, 15111, 16889, 18667, 21333, 23111},
     {28, 42, 28, 42, 56, 42, 28, 28, 42, 28}},
    // RC5X command 0x40: S2 = 0 (bit 6 inverted), toggle 1, address 0,
    // command bits 000000: sM Ms sM Ms then Ms x 10; units 0, 4, 7, 9, ..., 25.
    {"rc5:0:0x40:1",
     {0, 3556, 6222, 8000, 9778, 11556, 13333, 15111, 16889, 18667, 20444, 22222},
     {56, 42, 28, 28, 28, 28, 28, 28, 28, 28, 28}},
    // All ones: a burst every 2T, times rounded from the exact T, so the
    // 1 us steps do not add up (13 x 1777.78 = 23111.1).
    {"rc5:0x1F:0x3F:1",
     {0, 1778, 3556, 5333, 7111, 8889, 10667, 12444, 14222, 16000, 17778, 19556, 21333, 23111},
     std::vector<int>(13, 28)},
    // RC6 (1 = Ms, 0 = sM): leader 6 M 2 s, start bit 1 Ms, mode 000 sM sM
    // sM, toggle 0 double width ss MM, address 00000001, command 00000010:
    // units 0, 8, 11, 13, 15, 18, 21, 23, ..., 33 (the address's last 1
    // continues that burst), 37, 39, ..., 47 (the 1 continues it), 51.
    {"rc6:1:2",
     {0, 3556, 4889, 5778, 6667, 8000, 9333, 10222, 11111, 12000, 12889, 13778, 14667, 16444,
      17333, 18222, 19111, 20000, 20889, 22667},
     {56, 21, 14, 14, 21, 21, 14, 14, 14, 14, 14, 14, 28, 14, 14, 14, 14, 14, 28}},
    // Toggle 1 (MM ss) continues the last mode bit's mark: no burst at unit
    // 18, and the next one at 21 comes 6T after the one at 15.
    {"rc6:1:2:1",
     {0, 3556, 4889, 5778, 6667, 9333, 10222, 11111, 12000, 12889, 13778, 14667, 16444, 17333,
      18222, 19111, 20000, 20889, 22667},
     {56, 21, 14, 14, 42, 14, 14, 14, 14, 14, 14, 28, 14, 14, 14, 14, 14, 28}},
};

TEST(SimBiphaseTest, AdjacentMarkHalfBitsAreOneBurst) {
    for (const BiphaseCase& testCase : kBiphaseCases) {
        SCOPED_TRACE(testCase.item);
        Parsed parsed = Parse({testCase.item});
        ASSERT_EQ(parsed.result, SimParseRun) << parsed.message;
        Timeline timeline = BuildTimeline(parsed.command.items, 0);
        std::vector<int64_t> starts;
        for (const Burst& burst : timeline.bursts) starts.push_back(burst.startMicroseconds);
        EXPECT_EQ(starts, testCase.burstsUs);
        EXPECT_EQ(ValuesOf(EventsOf({testCase.item})), testCase.bytes);
    }
}

const BadCase kProtocolBadCases[] = {
    {{"samsung:0x100:1"}, "ADDR 0x100 is out of range (0 to 0xFF)"},
    {{"samsung:1:0x100"}, "CMD 0x100 is out of range (0 to 0xFF)"},
    {{"samsung:1:2:0"}, "TIMES 0 is out of range (1 to 100000)"},
    {{"samsung:1"}, "expected samsung:ADDR:CMD[:TIMES]"},
    {{"jvc:0x100:1"}, "ADDR 0x100"},
    {{"jvc:1:0x100"}, "CMD 0x100"},
    {{"jvc:1:2:100001"}, "REPEATS 100001 is out of range (0 to 100000)"},
    {{"jvc:1:2:3:4"}, "expected jvc:ADDR:CMD[:REPEATS]"},
    {{"lg:0x10000000"}, "DATA28 0x10000000 is out of range (0 to 0xFFFFFFF)"},
    {{"lg:1:2:3"}, "expected lg:DATA28[:REPEATS]"},
    {{"lg"}, "expected lg:DATA28[:REPEATS]"},
    {{"kaseikyo:0x10000:1"}, "VENDOR 0x10000 is out of range (0 to 0xFFFF)"},
    {{"kaseikyo:1:0x100000000"}, "DATA32 0x100000000 is out of range (0 to 0xFFFFFFFF)"},
    {{"kaseikyo:1"}, "expected kaseikyo:VENDOR:DATA32"},
    {{"kaseikyo:1:2:3"}, "expected kaseikyo:VENDOR:DATA32"},
    {{"sharp:0x20:1"}, "ADDR 0x20 is out of range (0 to 0x1F)"},
    {{"sharp:1:0x100"}, "CMD 0x100"},
    {{"sharp:1:2:3"}, "expected sharp:ADDR:CMD"},
    {{"rc5:0x20:1"}, "ADDR 0x20 is out of range (0 to 0x1F)"},
    {{"rc5:1:0x80"}, "CMD 0x80 is out of range (0 to 0x7F)"},
    {{"rc5:1:1:2"}, "TOGGLE 2 is out of range (0 to 1)"},
    {{"rc5:1:1:x"}, "TOGGLE 'x' is not a number"},
    {{"rc6:0x100:1"}, "ADDR 0x100 is out of range (0 to 0xFF)"},
    {{"rc6:1:0x100"}, "CMD 0x100 is out of range (0 to 0xFF)"},
    {{"rc6:1:1:2"}, "TOGGLE 2"},
    {{"rc6:1:"}, "CMD '' is not a number"},
};

TEST(SimProtocolCommandLineTest, OutOfRangeFieldsAreRefusedNamingFieldAndRange) {
    for (const BadCase& testCase : kProtocolBadCases) ExpectRefused(testCase);
}

}  // namespace
