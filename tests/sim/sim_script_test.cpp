// irtick-sim's script without any timing: the bytes and send times that a
// receiver gives for nec, sony, us: and file: items.
#include "sim_script.h"
#include "sim_script_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

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

}  // namespace
