// irtick-sim's script without any timing: the command line, the bursts of
// each item and the bytes and send times that a receiver gives for them.
#include "sim_script.h"
#include "sim_script_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Nominal receiver bytes and burst-to-burst intervals.
constexpr int kNecLeader = 211;
constexpr int kNecZero = 18;
constexpr int kNecOne = 35;
constexpr int kNecRepeat = 176;
constexpr int64_t kNecLeaderUs = 13500;
constexpr int64_t kNecZeroUs = 1125;
constexpr int64_t kNecOneUs = 2250;
constexpr int kSonyStart = 47;
constexpr int kSonyZero = 19;
constexpr int kSonyOne = 28;
constexpr int64_t kSonyStartUs = 3000;
constexpr int64_t kSonyZeroUs = 1200;
constexpr int64_t kSonyOneUs = 1800;

// --- NEC -----------------------------------------------------------------

struct NecCase {
    const char* item;
    uint32_t code;  // as irtick prints it: first bit sent is bit 0
};

const NecCase kNecCases[] = {
    {"nec:0x00:0x45", 0xBA45FF00},
    {"nec:0x1234:0x45", 0xBA451234},  // extended address, low byte first
    {"nec:0xFF:0x00", 0xFF0000FF},
    {"nec:0x100:1", 0xFE010100},      // the smallest extended address
    {"nec:18:69", 0xBA45ED12},        // decimal
    {"nec:0xFFFF:0xFF", 0x00FFFFFF},
};

TEST(SimNecTest, LeaderByteWhenTheFirstBitStartsThenBitsLeastSignificantFirst) {
    for (const NecCase& testCase : kNecCases) {
        SCOPED_TRACE(testCase.item);
        std::vector<SendEvent> events = EventsOf({testCase.item});
        // The leader, 32 bits; the pause after the stop burst never ends.
        ASSERT_EQ(events.size(), 33u);
        EXPECT_EQ(events[0].sendMicroseconds, kNecLeaderUs);
        EXPECT_EQ(events[0].value, kNecLeader);
        int64_t at = kNecLeaderUs;
        for (int bit = 0; bit < 32; ++bit) {
            SCOPED_TRACE("bit " + std::to_string(bit));
            bool one = ((testCase.code >> bit) & 1u) != 0;
            at += one ? kNecOneUs : kNecZeroUs;
            EXPECT_EQ(events[1 + bit].value, one ? kNecOne : kNecZero);
            EXPECT_EQ(events[1 + bit].sendMicroseconds, at);
        }
    }
}

TEST(SimNecTest, RepeatsGiveRepeatLeaderAndPauseBytesAt108MsPeriod) {
    // BA45FF00 has 16 one bits: the stop burst starts at 13.5 + 16 x 1.125
    // + 16 x 2.25 = 67.5 ms.  The next leader (a repeat, then the second
    // frame) starts 108 ms after the one before.
    std::vector<SendEvent> events = EventsOf({"nec:0:0x45:2", "nec:0:0x45"});
    ASSERT_EQ(events.size(), 33u + 5u + 33u);
    std::vector<SendEvent> afterFrame(events.begin() + 33, events.begin() + 38);
    // 40.5 ms = 632.8 ticks -> 633 mod 256 = 121; 11.25 ms = 175.8 -> 176;
    // 96.75 ms = 1511.7 -> 1512 mod 256 = 232.
    EXPECT_EQ(TimesOf(afterFrame), (std::vector<int64_t>{108000, 119250, 216000, 227250, 324000}));
    EXPECT_EQ(ValuesOf(afterFrame), (std::vector<int>{121, kNecRepeat, 232, kNecRepeat, 232}));
    EXPECT_EQ(events[38].value, kNecLeader);
    EXPECT_EQ(events[38].sendMicroseconds, 324000 + kNecLeaderUs);
}

TEST(SimNecTest, PausesShowAsTheGapModulo256) {
    struct PauseCase {
        std::vector<std::string> script;
        int64_t leaderAt;  // of the second frame
        int pauseByte;
    };
    const PauseCase cases[] = {
        // Stop burst at 67.5 ms; the next frame at 108 ms: 40.5 ms -> 121.
        {{"nec:0:0x45", "nec:0:0x45"}, 108000, 121},
        // 50 ms more: 90.5 ms = 1414.06 ticks -> 1414 mod 256 = 134.
        {{"nec:0:0x45", "pause:50", "nec:0:0x45"}, 158000, 134},
        // pause:0 changes nothing.
        {{"nec:0:0x45", "pause:0", "nec:0:0x45"}, 108000, 121},
    };
    for (const PauseCase& testCase : cases) {
        SCOPED_TRACE(Joined(testCase.script));
        std::vector<SendEvent> events = EventsOf(testCase.script);
        ASSERT_EQ(events.size(), 67u);
        EXPECT_EQ(events[33].sendMicroseconds, testCase.leaderAt);
        EXPECT_EQ(events[33].value, testCase.pauseByte);
        EXPECT_EQ(events[34].value, kNecLeader);
    }
}

TEST(SimNecTest, LeadingPauseDelaysTheFirstBurstWhichSendsNothing) {
    std::vector<SendEvent> events = EventsOf({"pause:1000", "nec:0:0x45"});
    ASSERT_EQ(events.size(), 33u);
    EXPECT_EQ(events[0].sendMicroseconds, 1000000 + kNecLeaderUs);
    EXPECT_EQ(events[0].value, kNecLeader);
}

// --- Sony ----------------------------------------------------------------

struct SonyCase {
    const char* item;
    // One frame's bytes: the start, then one per bit but the last (whose
    // interval runs into the pause before the next frame).
    std::vector<int> frameBytes;
};

// CMD 0x15 = 1010100, lowest bit first.
const SonyCase kSonyCases[] = {
    // ADDR 0x01 -> 10000
    {"sony12:0x15:0x01",
     {kSonyStart, 28, 19, 28, 19, 28, 19, 19, 28, 19, 19, 19}},
    // ADDR 0x9A -> 01011001
    {"sony15:0x15:0x9A",
     {kSonyStart, 28, 19, 28, 19, 28, 19, 19, 19, 28, 19, 28, 28, 19, 19}},
    // ADDR 0x1A -> 01011, EXT 0xC3 -> 11000011
    {"sony20:0x15:0x1A:0xC3",
     {kSonyStart, 28, 19, 28, 19, 28, 19, 19, 19, 28, 19, 28, 28, 28, 28, 19, 19, 19, 19, 28}},
};

TEST(SimSonyTest, StartByteThenBitBytesOnceForEachTime) {
    for (const SonyCase& testCase : kSonyCases) {
        SCOPED_TRACE(testCase.item);
        for (int times = 1; times <= 3; ++times) {
            SCOPED_TRACE("times " + std::to_string(times));
            std::vector<SendEvent> events =
                EventsOf({std::string(testCase.item) + ":" + std::to_string(times)});
            const size_t frameSize = testCase.frameBytes.size();
            // Each later frame's start burst also ends the last bit of the
            // frame before it.
            ASSERT_EQ(events.size(), times * frameSize + (times - 1));
            for (int frame = 0; frame < times; ++frame) {
                SCOPED_TRACE("frame " + std::to_string(frame));
                const size_t first = frame * (frameSize + 1);
                std::vector<SendEvent> frameEvents(events.begin() + first,
                                                   events.begin() + first + frameSize);
                EXPECT_EQ(ValuesOf(frameEvents), testCase.frameBytes);
                // Start burst 45 ms after the last; its byte 3 ms later; each
                // bit byte a bit period after the one before.
                int64_t at = frame * 45000 + kSonyStartUs;
                EXPECT_EQ(frameEvents[0].sendMicroseconds, at);
                for (size_t i = 1; i < frameSize; ++i) {
                    at += frameEvents[i].value == kSonyOne ? kSonyOneUs : kSonyZeroUs;
                    EXPECT_EQ(frameEvents[i].sendMicroseconds, at);
                }
            }
        }
    }
}

TEST(SimSonyTest, LastBitOfAFrameEndsAtTheNextFrameModulo256) {
    // sony12:0x15:0x01: the last bit's burst starts at 3 + 4 x 1.8 + 7 x 1.2
    // = 18.6 ms; the next frame at 45 ms: 26.4 ms = 412.5 ticks -> 413
    // (half a tick rounds up) mod 256 = 157.
    std::vector<SendEvent> events = EventsOf({"sony12:0x15:0x01:2"});
    ASSERT_EQ(events.size(), 25u);
    EXPECT_EQ(events[12].sendMicroseconds, 45000);
    EXPECT_EQ(events[12].value, 157);
}

// --- us: and file: ------------------------------------------------------

TEST(SimMicrosTest, IntervalsRoundToTicksAndWrapAt256) {
    struct RoundingCase {
        const char* item;
        int value;
    };
    const RoundingCase cases[] = {
        {"us:31", 0},     {"us:32", 1},       // half a tick rounds up
        {"us:95", 1},     {"us:96", 2},
        {"us:0x40", 1},   {"us:16320", 255},  // 255 ticks
        {"us:16351", 255}, {"us:16352", 0},   // 255.5 -> 256 wraps to 0
        {"us:16384", 0},  {"us:16416", 1},    // 256.5 -> 257 -> 1
        {"us:40500", 121},
    };
    for (const RoundingCase& testCase : cases) {
        SCOPED_TRACE(testCase.item);
        std::vector<SendEvent> events = EventsOf({testCase.item});
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].value, testCase.value);
    }
}

TEST(SimMicrosTest, BurstsFollowTheIntervalsAndItemsJoinAtTheirLastBurst) {
    // 1000 us = 15.6 ticks -> 16, 2000 -> 31.25 -> 31, 3000 -> 46.9 -> 47.
    std::vector<SendEvent> events = EventsOf({"us:1000,2000", "us:3000"});
    EXPECT_EQ(TimesOf(events), (std::vector<int64_t>{1000, 3000, 6000}));
    EXPECT_EQ(ValuesOf(events), (std::vector<int>{16, 31, 47}));

    Parsed parsed = Parse({"us:1000,2000", "us:3000"});
    Timeline timeline = BuildTimeline(parsed.command.items, 500);
    ASSERT_EQ(timeline.bursts.size(), 4u);  // the second item's first burst is the first's last
    EXPECT_EQ(timeline.bursts[0].startMicroseconds, 500);
    EXPECT_EQ(timeline.bursts[3].startMicroseconds, 6500);
    EXPECT_EQ(timeline.endMicroseconds, 6500);
}

class SimFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/irtick-sim-test-XXXXXX";
        int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        path = pattern;
        ASSERT_EQ(write(fd, kRecording, sizeof kRecording), static_cast<ssize_t>(sizeof kRecording));
        close(fd);
    }
    void TearDown() override {
        if (!path.empty()) unlink(path.c_str());
    }

    // A recorded 0 (a wrapped interval) first, both ends of the range, and
    // bytes that a terminal would take for CR, XON and XOFF.
    static constexpr unsigned char kRecording[] = {0x00, 0x05, 0xFF, 0x12, 0x0D, 0x11, 0x13};
    std::string path;
};

constexpr unsigned char SimFileTest::kRecording[];

TEST_F(SimFileTest, RecordedBytesGoOutUnchangedEachAfterItsOwnTime) {
    for (const char* jitter : {"0", "50"}) {
        SCOPED_TRACE(std::string("jitter ") + jitter);
        // us:6400 ends at a burst at 6.4 ms, where the recording starts.
        std::vector<SendEvent> events =
            EventsOf({"--jitter", jitter, "--seed", "3", "us:6400", "file:" + path, "us:640"});
        ASSERT_EQ(events.size(), 1u + sizeof kRecording + 1u);
        int64_t at = events[0].sendMicroseconds;
        for (size_t i = 0; i < sizeof kRecording; ++i) {
            at += kRecording[i] * 64;
            EXPECT_EQ(events[1 + i].value, kRecording[i]) << "byte " << i;
            EXPECT_EQ(events[1 + i].sendMicroseconds, at) << "byte " << i;
        }
    }
    // Without jitter the times are exact: the recording starts at 6.4 ms.
    std::vector<SendEvent> events = EventsOf({"us:6400", "file:" + path, "us:640"});
    EXPECT_EQ(events[0].value, 100);
    EXPECT_EQ(events[1].sendMicroseconds, 6400);
    EXPECT_EQ(events.back().value, 10);
    EXPECT_EQ(events.back().sendMicroseconds, 6400 + (0 + 5 + 255 + 18 + 13 + 17 + 19) * 64 + 640);
}

TEST_F(SimFileTest, FrameBeforeARecordingSendsItsPauseWhenTheRecordingStarts) {
    std::vector<SendEvent> events = EventsOf({"nec:0:0x45", "file:" + path});
    ASSERT_EQ(events.size(), 33u + 1u + sizeof kRecording);
    EXPECT_EQ(events[33].sendMicroseconds, 108000);
    EXPECT_EQ(events[33].value, 121);
    EXPECT_EQ(events[34].value, kRecording[0]);
}

// --- item ends -----------------------------------------------------------

TEST(SimTimelineTest, EachItemEndsWhereTheNextMayStart) {
    struct EndCase {
        const char* item;
        int64_t end;
    };
    const EndCase cases[] = {
        {"nec:0:0x45", 108000},           // 108 ms after the last leader
        {"nec:0:0x45:3", 4 * 108000},
        {"sony12:1:1", 3 * 45000},         // three times by default
        {"sony20:1:1:1:1", 45000},
        {"pause:250", 250000},
        {"us:100,200", 300},
        {"samsung:1:2", 108000},          // one frame period after the last frame
        {"samsung:1:2:3", 3 * 108000},
        {"jvc:1:2", 55000},
        {"jvc:1:2:2", 3 * 55000},
        {"lg:1", 108000},
        {"lg:1:2", 3 * 108000},
        {"kaseikyo:1:2", 130000},
        {"sharp:1:2", 2 * 40000},         // the pair, 40 ms apart
        {"rc5:1:2", 113778},
        {"rc6:1:2", 107000},
    };
    for (const EndCase& testCase : cases) {
        SCOPED_TRACE(testCase.item);
        Parsed parsed = Parse({testCase.item});
        ASSERT_EQ(parsed.result, SimParseRun) << parsed.message;
        Timeline timeline = BuildTimeline(parsed.command.items, 1000);
        EXPECT_EQ(timeline.endMicroseconds, 1000 + testCase.end);
    }
}

TEST(SimTimelineTest, EventsCarryOverFromOneItemAndOnePassToTheNext) {
    // The player makes events item by item and, with --loop, pass by pass;
    // the bytes (jittered ones too) must be those of one long timeline.
    Parsed parsed = Parse({"us:700", "nec:0:0x45:1", "sony15:3:4:1", "pause:20", "us:300,300"});
    ASSERT_EQ(parsed.result, SimParseRun) << parsed.message;
    std::vector<SimItem> twice = parsed.command.items;
    twice.insert(twice.end(), parsed.command.items.begin(), parsed.command.items.end());
    for (int32_t jitter : {0, 10}) {
        SCOPED_TRACE("jitter " + std::to_string(jitter));
        Timeline whole = BuildTimeline(twice, 0);
        std::mt19937 wholeRandom(5);
        EventCursor wholeCursor;
        std::vector<SendEvent> expected;
        AppendEvents(whole.bursts, jitter, &wholeRandom, &wholeCursor, &expected);

        std::mt19937 random(5);
        EventCursor cursor;
        std::vector<SendEvent> pieces;
        int64_t start = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (const SimItem& item : parsed.command.items) {
                std::vector<Burst> bursts;
                int64_t end = 0;
                AppendItemBursts(item, start, &bursts, &end);
                AppendEvents(bursts, jitter, &random, &cursor, &pieces);
                start = end;
            }
        }
        EXPECT_EQ(TimesOf(pieces), TimesOf(expected));
        EXPECT_EQ(ValuesOf(pieces), ValuesOf(expected));
        EXPECT_EQ(start, whole.endMicroseconds);
        // The script's end on the send clock moves with the jitter.
        EXPECT_EQ(SentTimeOf(cursor, start) - start,
                  expected.back().sendMicroseconds - whole.bursts.back().startMicroseconds);
    }
}

// --- jitter --------------------------------------------------------------

const std::vector<std::string> kJitterScript = {
    "nec:0:0x45:2", "sony12:0x15:1", "sony20:0x7F:0x1F:0xFF:1", "us:100,1000,50000,1000000",
    "nec:0x1234:0x45"};

std::vector<SendEvent> JitteredEvents(int percent, uint32_t seed) {
    std::vector<std::string> arguments = {"--jitter", std::to_string(percent), "--seed",
                                          std::to_string(seed)};
    arguments.insert(arguments.end(), kJitterScript.begin(), kJitterScript.end());
    return EventsOf(arguments);
}

int RoundedTicks(double microseconds) {
    return static_cast<int>(microseconds / 64.0 + 0.5);
}

TEST(SimJitterTest, EveryIntervalStaysWithinThePercentageOfNominal) {
    const std::vector<SendEvent> nominal = EventsOf(kJitterScript);
    for (int percent : {1, 5, 20, 50}) {
        for (uint32_t seed : {1u, 2u, 77u}) {
            SCOPED_TRACE("jitter " + std::to_string(percent) + " seed " + std::to_string(seed));
            const std::vector<SendEvent> varied = JitteredEvents(percent, seed);
            ASSERT_EQ(varied.size(), nominal.size());
            int changed = 0;
            for (size_t i = 0; i < varied.size(); ++i) {
                const int64_t nominalInterval =
                    nominal[i].sendMicroseconds - (i == 0 ? 0 : nominal[i - 1].sendMicroseconds);
                const int64_t variedInterval =
                    varied[i].sendMicroseconds - (i == 0 ? 0 : varied[i - 1].sendMicroseconds);
                const double spread = nominalInterval * percent / 100.0;
                ASSERT_LE(std::llabs(variedInterval - nominalInterval), spread) << "event " << i;
                const int low = RoundedTicks(nominalInterval - spread);
                const int high = RoundedTicks(nominalInterval + spread);
                if (high < 256) {
                    EXPECT_GE(varied[i].value, low) << "event " << i;
                    EXPECT_LE(varied[i].value, high) << "event " << i;
                }
                changed += varied[i].value != nominal[i].value;
            }
            if (percent >= 5) {
                EXPECT_GT(changed, 0) << "no byte was varied";
            }
        }
    }
}

TEST(SimJitterTest, SameSeedGivesSameBytesAndAnotherSeedOthers) {
    const std::vector<SendEvent> first = JitteredEvents(10, 1234);
    const std::vector<SendEvent> again = JitteredEvents(10, 1234);
    const std::vector<SendEvent> other = JitteredEvents(10, 1235);
    EXPECT_EQ(ValuesOf(first), ValuesOf(again));
    EXPECT_EQ(TimesOf(first), TimesOf(again));
    EXPECT_NE(TimesOf(first), TimesOf(other));
    // No jitter: the seed does not matter.
    EXPECT_EQ(TimesOf(JitteredEvents(0, 1)), TimesOf(EventsOf(kJitterScript)));
    EXPECT_EQ(TimesOf(JitteredEvents(0, 2)), TimesOf(EventsOf(kJitterScript)));
}

// --- command line --------------------------------------------------------

TEST(SimCommandLineTest, ItemsAndOptionsAreTakenInAnyOrder) {
    Parsed parsed = Parse({"nec:0x1234:0x45:7", "--jitter", "0x0A", "sony12:0x7F:0x1F",
                           "--seed=42", "sony15:0:0xFF:1", "--fast", "sony20:1:2:0xFF:9",
                           "--loop", "--port", "/tmp/x", "pause:0x10", "us:5,0x10", "--jitter=3"});
    ASSERT_EQ(parsed.result, SimParseRun) << parsed.message;
    const SimOptions& options = parsed.command.options;
    EXPECT_EQ(options.portPath, "/tmp/x");
    EXPECT_EQ(options.jitterPercent, 3);  // the later one
    EXPECT_TRUE(options.seedGiven);
    EXPECT_EQ(options.seed, 42u);
    EXPECT_TRUE(options.fast);
    EXPECT_TRUE(options.loop);

    const std::vector<SimItem>& items = parsed.command.items;
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].kind, SimNecItem);
    EXPECT_EQ(items[0].address, 0x1234u);
    EXPECT_EQ(items[0].command, 0x45u);
    EXPECT_EQ(items[0].count, 7u);
    EXPECT_EQ(items[1].kind, SimSonyItem);
    EXPECT_EQ(items[1].command, 0x7Fu);
    EXPECT_EQ(items[1].address, 0x1Fu);
    EXPECT_EQ(items[1].addressBits, 5);
    EXPECT_EQ(items[1].extendedBits, 0);
    EXPECT_EQ(items[1].count, 3u);  // default
    EXPECT_EQ(items[2].addressBits, 8);
    EXPECT_EQ(items[2].address, 0xFFu);
    EXPECT_EQ(items[2].count, 1u);
    EXPECT_EQ(items[3].extended, 0xFFu);
    EXPECT_EQ(items[3].extendedBits, 8);
    EXPECT_EQ(items[3].count, 9u);
    EXPECT_EQ(items[4].kind, SimPauseItem);
    EXPECT_EQ(items[4].pauseMicroseconds, 16000);
    EXPECT_EQ(items[5].kind, SimMicrosItem);
    EXPECT_EQ(items[5].intervalsMicroseconds, (std::vector<int64_t>{5, 16}));

    Parsed defaults = Parse({"nec:1:2"});
    ASSERT_EQ(defaults.result, SimParseRun);
    EXPECT_EQ(defaults.command.items[0].count, 0u);
    EXPECT_TRUE(defaults.command.options.portPath.empty());
    EXPECT_EQ(defaults.command.options.jitterPercent, 0);
    EXPECT_FALSE(defaults.command.options.seedGiven);
    EXPECT_FALSE(defaults.command.options.fast);
    EXPECT_FALSE(defaults.command.options.loop);
}

TEST(SimCommandLineTest, HelpWinsWhereverItStands) {
    EXPECT_EQ(Parse({"--help"}).result, SimParseHelp);
    EXPECT_EQ(Parse({"nec:bad", "--help"}).result, SimParseHelp);
    EXPECT_EQ(Parse({"--jitter", "99", "--help"}).result, SimParseHelp);
}

const BadCase kBadCases[] = {
    {{}, "no items"},
    {{"--fast"}, "no items"},
    {{"nec:0x100x:1"}, "nec:0x100x:1"},
    {{"nec:1"}, "nec:1"},
    {{"nec:1:2:3:4"}, "nec:1:2:3:4"},
    {{"nec:0x10000:1"}, "ADDR 0x10000"},
    {{"nec:1:0x100"}, "CMD 0x100"},
    {{"nec:1:-1"}, "nec:1:-1"},
    {{"nec:1:2:"}, "nec:1:2:"},
    {{"nec"}, "nec:ADDR:CMD"},
    {{"sony12:0x80:1"}, "CMD 0x80"},
    {{"sony12:1:0x20"}, "ADDR 0x20"},
    {{"sony15:1:0x100"}, "ADDR 0x100"},
    {{"sony20:1:0x20:1"}, "ADDR 0x20"},
    {{"sony20:1:1:0x100"}, "EXT 0x100"},
    {{"sony20:1:1"}, "sony20:1:1"},
    {{"sony12:1:1:0"}, "TIMES 0"},
    {{"sony12:1:1:x"}, "sony12:1:1:x"},
    {{"pause"}, "pause"},
    {{"pause:1.5"}, "pause:1.5"},
    {{"pause:99999999999"}, "pause:99999999999"},
    {{"us:"}, "us:"},
    {{"us:10,,20"}, "us:10,,20"},
    {{"us:0"}, "us:0"},
    {{"file:"}, "file:"},
    {{"file:/nonexistent/recording"}, "/nonexistent/recording"},
    {{"file:/"}, "file:/"},
    {{"rcmm:1:2"}, "rcmm:1:2"},
    {{"nec:1:2", "bogus"}, "bogus"},
    {{"--jitter", "51", "nec:1:2"}, "--jitter"},
    {{"--jitter", "five", "nec:1:2"}, "five"},
    {{"--seed", "0x100000000", "nec:1:2"}, "--seed"},
    {{"nec:1:2", "--seed"}, "--seed"},
    {{"nec:1:2", "--port"}, "--port"},
    {{"--port=", "nec:1:2"}, "--port"},
    {{"--fast=yes", "nec:1:2"}, "--fast"},
    {{"--speed", "nec:1:2"}, "--speed"},
    {{"-f", "nec:1:2"}, "-f"},
};

TEST(SimCommandLineTest, BadItemsAndOptionsAreRejectedWithAMessageNamingThem) {
    for (const BadCase& testCase : kBadCases) ExpectRefused(testCase);
}

TEST(SimCommandLineTest, NumbersAreWholeDecimalOrHex) {
    struct NumberCase {
        const char* text;
        uint64_t largest;
        bool ok;
        uint64_t value;
    };
    const NumberCase cases[] = {
        {"0", 10, true, 0},          {"10", 10, true, 10},
        {"11", 10, false, 0},        {"0x1f", 0xFF, true, 0x1F},
        {"0X1F", 0xFF, true, 0x1F},  {"0x", 0xFF, false, 0},
        {"", 0xFF, false, 0},        {"1a", 0xFF, false, 0},
        {"+1", 0xFF, false, 0},      {" 1", 0xFF, false, 0},
        {"1 ", 0xFF, false, 0},      {"0x0x1", 0xFF, false, 0},
        {"007", 0xFF, true, 7},      {"18446744073709551615", UINT64_MAX, true, UINT64_MAX},
        {"18446744073709551616", UINT64_MAX, false, 0},
        {"0x10000000000000000", UINT64_MAX, false, 0},
    };
    for (const NumberCase& testCase : cases) {
        SCOPED_TRACE(std::string("'") + testCase.text + "'");
        uint64_t value = 12345;
        EXPECT_EQ(ParseSimNumber(testCase.text, testCase.largest, &value), testCase.ok);
        if (testCase.ok) {
            EXPECT_EQ(value, testCase.value);
        }
    }
}

}  // namespace
