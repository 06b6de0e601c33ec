// irtick-sim's timeline across items and passes, and --jitter: where each
// item ends, events made item by item and pass by pass as in one run, and
// intervals varied within their percentage.
#include "sim_script.h"
#include "sim_script_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

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

TEST(SimProtocolJitterTest, EightPercentVariesEveryNewItemWithinItsBounds) {
    const char* const items[] = {"samsung:0x07:0x02:2", "jvc:0x03:0x01:2", "lg:0x8800347:1",
                                 "kaseikyo:0x2002:0x01234567", "sharp:1:2", "rc5:5:3",
                                 "rc6:1:2:1"};
    for (const char* item : items) {
        const std::vector<SendEvent> nominal = EventsOf({item});
        for (const char* seed : {"1", "2", "3"}) {
            SCOPED_TRACE(std::string(item) + " seed " + seed);
            const std::vector<SendEvent> varied = EventsOf({"--jitter", "8", "--seed", seed, item});
            ASSERT_EQ(varied.size(), nominal.size());
            int changed = 0;
            for (size_t i = 0; i < varied.size(); ++i) {
                const int64_t before = i == 0 ? 0 : nominal[i - 1].sendMicroseconds;
                const int64_t variedBefore = i == 0 ? 0 : varied[i - 1].sendMicroseconds;
                const int64_t nominalInterval = nominal[i].sendMicroseconds - before;
                const int64_t variedInterval = varied[i].sendMicroseconds - variedBefore;
                EXPECT_LE(std::llabs(variedInterval - nominalInterval) * 100, nominalInterval * 8)
                    << "event " << i;
                changed += varied[i].value != nominal[i].value;
            }
            EXPECT_GT(changed, 0) << "no byte was varied";
        }
    }
}

}  // namespace
