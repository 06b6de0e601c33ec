// Streaming: any split of the bytes gives the same events, silence ends what
// is pending, and random bytes never give a frame that does not fit.
#include <gtest/gtest.h>

#include <random>

#include "analyze_checks.h"
#include "ir_signal.h"

namespace {

// Mixed traffic: presses of several protocols, junk between them.
std::vector<uint8_t> MixedTraffic(uint32_t seed) {
    IrSignal s;
    s.jitter = 0.05;
    s.random.seed(seed);
    std::mt19937 pick(seed);
    double at = 0;
    for (int32_t press = 0; press < 80; ++press) {
        switch (pick() % 9) {
            case 0:
                AddFrame(&s, at, NecPeriods(NecData(pick() & 0xFF, pick() & 0xFF)));
                for (int32_t r = 1; r <= static_cast<int32_t>(pick() % 3); ++r) {
                    AddFrame(&s, at + r * 108000, NecRepeatPeriods());
                }
                break;
            case 1:
                AddFrame(&s, at, SonyPeriods(pick() & 0xFFFF, (pick() % 2) != 0 ? 12 : 15));
                break;
            case 2:
                AddFrame(&s, at, JvcPeriods(pick() & 0xFF, pick() & 0xFF, true));
                for (int32_t r = 1; r <= static_cast<int32_t>(pick() % 3); ++r) {
                    AddFrame(&s, at + r * 55000, JvcPeriods(0, 0, false));
                }
                break;
            case 3:
                AddFrame(&s, at, LgPeriods(pick() & 0xFFFFFFF));
                break;
            case 4:
                AddFrame(&s, at, KaseikyoPeriods(pick() | (static_cast<uint64_t>(pick() & 0xFFFF) << 32)));
                break;
            case 5: {
                const uint32_t bits = (pick() & 0x1FFF) | (1u << 13);
                AddFrame(&s, at, SharpPeriods(bits));
                AddFrame(&s, at + 40000, SharpPeriods(bits ^ 0x7FE0));
                break;
            }
            case 6:
                AddOffsets(&s, at, Rc5Offsets((pick() & 0x1FFF) | (1u << 13)));
                break;
            case 7:
                AddOffsets(&s, at, Rc6Offsets(pick() & 0xFF, pick() & 0xFF, pick() & 1));
                break;
            default: {
                // a few junk bursts
                std::vector<double> junk;
                for (uint32_t i = pick() % 12; i > 0; --i) {
                    junk.push_back(300 + pick() % 9000);
                }
                AddFrame(&s, at, junk);
                break;
            }
        }
        at = LastStart(s) + 20000 + pick() % 200000;
    }
    return SignalBytes(s);
}

TEST(StreamAnalyzer, AnySplitGivesTheSameEvents) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const std::vector<uint8_t> bytes = MixedTraffic(seed);
        const std::string whole = DescribeEvents(AnalyzeWhole(bytes));
        EXPECT_NE(whole.find("frame"), std::string::npos);
        EXPECT_EQ(DescribeEvents(AnalyzeInPieces(bytes, {1})), whole) << seed;
        EXPECT_EQ(DescribeEvents(AnalyzeInPieces(bytes, {7, 1, 30, 2})), whole) << seed;
        EXPECT_EQ(DescribeEvents(AnalyzeInPieces(bytes, {33, 34, 35})), whole) << seed;
        EXPECT_EQ(FindUnsoundEvent(bytes, AnalyzeWhole(bytes)), "") << seed;
    }
}

TEST(StreamAnalyzer, RandomBytesGiveOnlyFittingFramesAndUnknownRuns) {
    std::mt19937 random(12345);
    for (int32_t round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes(1 + random() % 3000);
        // Half the rounds draw from the range where bits and leaders lie, so
        // that matchers get far before they fail.
        const uint32_t range = round % 2 == 0 ? 256 : 70;
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(random() % range);
        }
        const std::vector<StreamEvent> events = AnalyzeWhole(bytes);
        ASSERT_EQ(FindUnsoundEvent(bytes, events), "") << round;
        ASSERT_EQ(DescribeEvents(AnalyzeInPieces(bytes, {5, 1, 64})), DescribeEvents(events)) << round;
    }
}

TEST(StreamAnalyzer, EventsComeOnceWhatFollowsSettlesThem) {
    IrSignal s;
    AddFrame(&s, 0, NecPeriods(NecData(0x00, 0x45)));
    AddFrame(&s, 300000, NecPeriods(NecData(0x00, 0x46)));
    AddFrame(&s, 600000, NecPeriods(NecData(0x00, 0x47)));
    const std::vector<uint8_t> bytes = SignalBytes(s);
    StreamAnalyzer analyzer;
    std::vector<StreamEvent> events;
    // Up to the second frame's pause: the second frame settles the first.
    FeedStreamAnalyzer(&analyzer, bytes.data(), 68, &events);
    ASSERT_EQ(FramesOf(events).size(), 1u);
    EXPECT_EQ(events[0].frame.data, 0xBA45FF00u);
    // Silence settles the second; the byte after it is a pause whatever it is.
    MarkStreamSilence(&analyzer, &events);
    ASSERT_EQ(FramesOf(events).size(), 2u);
    const uint8_t pauseLikeLeader = 211;
    FeedStreamAnalyzer(&analyzer, &pauseLikeLeader, 1, &events);
    FeedStreamAnalyzer(&analyzer, bytes.data() + 68, bytes.size() - 68, &events);
    FinishStreamAnalyzer(&analyzer, &events);
    const std::vector<DecodedFrame> frames = FramesOf(events);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].data, NecData(0x00, 0x47));
    EXPECT_EQ(frames[2].start, 69);
    EXPECT_EQ(events.size(), 3u);
}

TEST(StreamAnalyzer, EmptyAndTinyInputs) {
    EXPECT_TRUE(AnalyzeWhole({}).empty());
    const std::vector<StreamEvent> one = AnalyzeWhole({211});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].kind, StreamUnknownEvent);
    EXPECT_EQ(one[0].unknown.bytes, std::vector<uint8_t>{211});
}

TEST(StreamAnalyzer, UnknownRunsAreClassified) {
    struct HintCase {
        const char* name;
        std::vector<uint8_t> bytes;
        int32_t shape;
        int32_t bits;
        int32_t leaderMicroseconds;
        int32_t halfBitMicroseconds;
    };
    const std::vector<HintCase> cases = {
        {"too short", {100, 20, 40, 20}, UnknownTooShort, 0, 0, 0},
        // leader 120 ticks, then 10 bits of 15 and 30 ticks
        {"pulse distance", {120, 15, 30, 15, 15, 30, 30, 15, 30, 15, 15}, UnknownPulseDistance, 10, 7680, 0},
        // half-bit 10 ticks: intervals 20, 30, 40
        {"bi-phase", {20, 30, 20, 40, 30, 20, 20, 30, 40, 20}, UnknownBiPhase, 0, 0, 640},
        {"unclassified", {200, 3, 90, 150, 7, 250, 60, 130, 11, 77}, UnknownUnclassified, 0, 0, 0},
    };
    for (const HintCase& c : cases) {
        UnknownRun run;
        run.bytes = c.bytes;
        const UnknownHint hint = ClassifyUnknownRun(run);
        EXPECT_EQ(hint.shape, c.shape) << c.name;
        EXPECT_EQ(hint.bits, c.bits) << c.name;
        EXPECT_EQ(hint.leaderMicroseconds, c.leaderMicroseconds) << c.name;
        EXPECT_EQ(hint.halfBitMicroseconds, c.halfBitMicroseconds) << c.name;
    }
}

TEST(StreamAnalyzer, ProtocolNamesAndData) {
    const char* const names[] = {"NEC", "Samsung32", "JVC", "LG", "Kaseikyo", "Sharp", "Sony", "RC5", "RC6"};
    for (int32_t p = 0; p < kProtocolCount; ++p) {
        EXPECT_STREQ(DescribeProtocol(p).name, names[p]);
    }
    DecodedFrame sony;
    sony.protocol = ProtocolSony;
    sony.bits = 12;
    sony.data = 0x95;
    EXPECT_EQ(FormatFrameData(sony), "00095");
    DecodedFrame rc5;
    rc5.protocol = ProtocolRc5;
    rc5.bits = 14;
    rc5.data = 0x3005;
    EXPECT_EQ(FormatFrameData(rc5), "3005");
    DecodedFrame lg;
    lg.protocol = ProtocolLg;
    lg.bits = 28;
    lg.data = 0x88000A;
    EXPECT_EQ(FormatFrameData(lg), "088000A");
}

}  // namespace

// Long runs of one value or of a short pattern: every matcher keeps
// reading, parses stay open long, and the window must still be bounded.
TEST(StreamAnalyzer, RepetitiveStreamsStaySoundAndBounded) {
    std::vector<std::vector<uint8_t>> patterns;
    for (int32_t value = 0; value < 256; value += 3) {
        patterns.push_back({static_cast<uint8_t>(value)});
    }
    patterns.push_back({176, 100});           // NEC repeat leaders after pauses forever
    patterns.push_back({28, 42});             // RC5 2T/3T, Sony and NEC bits
    patterns.push_back({56, 14, 21, 28, 35}); // RC6 leader and intervals
    for (const std::vector<uint8_t>& pattern : patterns) {
        std::vector<uint8_t> bytes;
        while (bytes.size() < 12000) {
            bytes.insert(bytes.end(), pattern.begin(), pattern.end());
        }
        const std::vector<StreamEvent> events = AnalyzeWhole(bytes);
        ASSERT_EQ(FindUnsoundEvent(bytes, events), "") << int(pattern[0]);
        ASSERT_EQ(DescribeEvents(AnalyzeInPieces(bytes, {1, 97})), DescribeEvents(events)) << int(pattern[0]);
        StreamAnalyzer analyzer;
        std::vector<StreamEvent> ignored;
        FeedStreamAnalyzer(&analyzer, bytes.data(), bytes.size(), &ignored);
        EXPECT_LT(analyzer.pending.size(), 4200u) << int(pattern[0]);
    }
}
