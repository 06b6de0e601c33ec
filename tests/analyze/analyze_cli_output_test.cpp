// irtick-analyze's output forms on hand-made frames and unknown runs: the
// JSON schema (parsed back), the text lines and the histogram.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "analyze_cli_json.h"
#include "analyze_cli_records.h"
#include "analyze_options.h"
#include "analyze_report.h"

namespace {

const std::vector<std::string> kFrameKeys = {"type",    "start",   "protocol", "bits",
                                             "data",    "address", "command",  "repeats",
                                             "toggle",  "error_pct"};

}  // namespace

TEST(AnalyzeCliJson, FrameObjectsHaveTheSchemaKeysInOrderWithNullsAndOneDecimal)
{
    DecodedFrame nec = MakeFrame(ProtocolNec, 32, 0x00FF1234, 0x1234, kNoValue, 17);
    nec.repeats = 3;
    nec.errorPercent = 7.26;
    DecodedFrame rc5 = MakeFrame(ProtocolRc5, 14, 0x3A8C, 0x0A, 0x0C, 400);
    rc5.toggle = 1;
    const std::vector<JsonValue> lines =
        ParseJsonLines(Report(AnalyzeJsonForm, {FrameEvent(nec), FrameEvent(rc5)}));
    ASSERT_EQ(lines.size(), 3u);  // two frames, the summary

    EXPECT_EQ(KeysOf(lines[0]), kFrameKeys);
    EXPECT_EQ(FindMember(lines[0], "type")->text, "frame");
    EXPECT_EQ(FindMember(lines[0], "start")->numberText, "17");
    EXPECT_EQ(FindMember(lines[0], "protocol")->text, "NEC");
    EXPECT_EQ(FindMember(lines[0], "bits")->numberText, "32");
    EXPECT_EQ(FindMember(lines[0], "data")->text, "00FF1234");
    EXPECT_EQ(FindMember(lines[0], "address")->numberText, "4660");
    EXPECT_EQ(FindMember(lines[0], "command")->kind, JsonNull);
    EXPECT_EQ(FindMember(lines[0], "repeats")->numberText, "3");
    EXPECT_EQ(FindMember(lines[0], "toggle")->kind, JsonNull);
    EXPECT_EQ(FindMember(lines[0], "error_pct")->numberText, "7.3");

    EXPECT_EQ(KeysOf(lines[1]), kFrameKeys);
    EXPECT_EQ(FindMember(lines[1], "protocol")->text, "RC5");
    EXPECT_EQ(FindMember(lines[1], "data")->text, "3A8C");
    EXPECT_EQ(FindMember(lines[1], "toggle")->numberText, "1");
    EXPECT_EQ(FindMember(lines[1], "error_pct")->numberText, "0.0");
}

TEST(AnalyzeCliJson, UnknownRunsGiveEachByteTimes64WithoutWrapCorrection)
{
    const std::vector<JsonValue> lines =
        ParseJsonLines(Report(AnalyzeJsonForm, {UnknownEvent(5, {0, 2, 81, 255})}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(KeysOf(lines[0]), (std::vector<std::string>{"type", "start", "intervals_us"}));
    EXPECT_EQ(FindMember(lines[0], "type")->text, "unknown");
    EXPECT_EQ(FindMember(lines[0], "start")->numberText, "5");
    const JsonValue* intervals = FindMember(lines[0], "intervals_us");
    ASSERT_NE(intervals, nullptr);
    std::vector<std::string> values;
    for (const JsonValue& item : intervals->items) values.push_back(item.numberText);
    EXPECT_EQ(values, (std::vector<std::string>{"0", "128", "5184", "16320"}));
}

TEST(AnalyzeCliJson, TheSummaryCountsFrameObjectsPerCodeInTheOrderCodesFirstCame)
{
    const DecodedFrame sony = MakeFrame(ProtocolSony, 12, 0x000F5, 0x01, 0x75);
    const DecodedFrame nec = MakeFrame(ProtocolNec, 32, 0xBA45FF00, 0x00, 0x45);
    const std::vector<JsonValue> lines = ParseJsonLines(
        Report(AnalyzeJsonForm, {FrameEvent(sony), FrameEvent(nec), UnknownEvent(9, {47, 3}),
                                 FrameEvent(sony), FrameEvent(sony)}));
    ASSERT_EQ(lines.size(), 6u);
    const JsonValue& summary = lines.back();
    EXPECT_EQ(KeysOf(summary),
              (std::vector<std::string>{"type", "frames", "unknown", "codes"}));
    EXPECT_EQ(FindMember(summary, "type")->text, "summary");
    EXPECT_EQ(FindMember(summary, "frames")->numberText, "4");
    EXPECT_EQ(FindMember(summary, "unknown")->numberText, "1");
    const JsonValue* codes = FindMember(summary, "codes");
    ASSERT_NE(codes, nullptr);
    ASSERT_EQ(codes->items.size(), 2u);
    const std::vector<std::string> codeKeys = {"protocol", "address", "command", "data", "count"};
    EXPECT_EQ(KeysOf(codes->items[0]), codeKeys);
    EXPECT_EQ(FindMember(codes->items[0], "protocol")->text, "Sony");
    EXPECT_EQ(FindMember(codes->items[0], "data")->text, "000F5");
    EXPECT_EQ(FindMember(codes->items[0], "count")->numberText, "3");
    EXPECT_EQ(FindMember(codes->items[1], "protocol")->text, "NEC");
    EXPECT_EQ(FindMember(codes->items[1], "address")->numberText, "0");
    EXPECT_EQ(FindMember(codes->items[1], "command")->numberText, "69");
    EXPECT_EQ(FindMember(codes->items[1], "count")->numberText, "1");
}

TEST(AnalyzeCliJson, AnEmptyCaptureGivesAnEmptySummary)
{
    EXPECT_EQ(Report(AnalyzeJsonForm, {}),
              "{\"type\":\"summary\",\"frames\":0,\"unknown\":0,\"codes\":[]}\n");
}

TEST(AnalyzeCliText, IdenticalFramesInARowFoldIntoOneLineWithACountButNotLive)
{
    const DecodedFrame sony = MakeFrame(ProtocolSony, 12, 0x000F5, 0x01, 0x75, 100);
    DecodedFrame later = sony;
    later.start = 140;
    later.errorPercent = 6.0;
    const DecodedFrame nec = MakeFrame(ProtocolNec, 32, 0xBA45FF00, 0x00, 0x45, 180);
    const std::vector<StreamEvent> events = {FrameEvent(sony), FrameEvent(later),
                                             FrameEvent(later), FrameEvent(nec)};
    const std::string folded = Report(AnalyzeTextForm, events);
    // The first frame's offset, the largest error of the three, the count.
    EXPECT_NE(folded.find("       100  Sony"), std::string::npos) << folded;
    EXPECT_NE(folded.find("6.0%  x3\n"), std::string::npos) << folded;
    EXPECT_EQ(folded.find("       140  Sony"), std::string::npos) << folded;
    EXPECT_NE(folded.find("       180  NEC"), std::string::npos) << folded;
    EXPECT_NE(folded.find("summary: 4 frames, 0 unknown runs"), std::string::npos) << folded;

    const std::string live = Report(AnalyzeTextForm, events, true);
    EXPECT_NE(live.find("       140  Sony"), std::string::npos) << live;
    EXPECT_EQ(live.find(" x3"), std::string::npos) << live;
}

TEST(AnalyzeCliText, AnNecAddressAbove0xFFShowsAllFourDigitsAndMissingValuesADash)
{
    const std::string text =
        Report(AnalyzeTextForm, {FrameEvent(MakeFrame(ProtocolNec, 32, 0x00FF1234, 0x1234,
                                                      kNoValue))});
    EXPECT_NE(text.find("NEC          32  1234     -        -       00FF1234"), std::string::npos)
        << text;
}

TEST(AnalyzeCliText, UnknownRunsShowMicrosecondsAndTheClosingHintCountsThem)
{
    const std::string text = Report(
        AnalyzeTextForm, {UnknownEvent(3, {81, 27}), UnknownEvent(9, {14, 40})});
    EXPECT_NE(text.find("         3  unknown     5184  1728 us\n"), std::string::npos) << text;
    EXPECT_NE(text.find("summary: 0 frames, 2 unknown runs\n"), std::string::npos) << text;
    const std::string hint = DescribeUnknownHint(ClassifyUnknownRun(UnknownEvent(3, {81, 27}).unknown));
    EXPECT_NE(text.find("hint: "), std::string::npos) << text;
    EXPECT_NE(text.find(hint), std::string::npos) << text;
}

TEST(AnalyzeCliText, HintsNameTheShapeWithItsFigures)
{
    UnknownHint pulse;
    pulse.shape = UnknownPulseDistance;
    pulse.bits = 24;
    pulse.leaderMicroseconds = 5184;
    EXPECT_EQ(DescribeUnknownHint(pulse), "pulse distance with 24 bits after a 5184 us leader");
    pulse.leaderMicroseconds = 0;
    EXPECT_EQ(DescribeUnknownHint(pulse), "pulse distance with 24 bits, no leader");
    UnknownHint biPhase;
    biPhase.shape = UnknownBiPhase;
    biPhase.halfBitMicroseconds = 889;
    EXPECT_EQ(DescribeUnknownHint(biPhase), "bi-phase with a half-bit time of 889 us");
    EXPECT_EQ(DescribeUnknownHint(UnknownHint()), "too short to tell");
}

namespace {

// The bar of the row that starts with `row`.
size_t BarLength(const std::string& text, const std::string& row)
{
    const size_t at = text.find(row);
    if (at == std::string::npos) return 0;
    const size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    return static_cast<size_t>(std::count(line.begin(), line.end(), '#'));
}

}  // namespace

TEST(AnalyzeCliHistogram, BarsAreInProportionAndFitTheWidth)
{
    int64_t counts[kByteValueCount] = {};
    counts[18] = 320;
    counts[19] = 160;
    counts[21] = 40;
    counts[35] = 80;
    counts[211] = 1;
    for (const int32_t width : {60, 132}) {
        const std::string text = Printed([&](FILE* out) { PrintHistogram(out, counts, width); });
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            EXPECT_LE(end - start, static_cast<size_t>(width)) << text.substr(start, end - start);
            start = end + 1;
        }
        const size_t full = BarLength(text, "   1152 us   18 |");
        EXPECT_GE(full, static_cast<size_t>(width / 2)) << text;
        EXPECT_EQ(BarLength(text, "   1216 us   19 |"), full / 2) << text;
        EXPECT_EQ(BarLength(text, "   2240 us   35 |"), full / 4) << text;
        EXPECT_EQ(BarLength(text, "   1344 us   21 |"), full / 8) << text;
        // A bucket that is not empty always shows.
        EXPECT_NE(text.find("  13504 us  211 |# 1\n"), std::string::npos) << text;
        // Short gaps show each empty bucket, long ones one row.
        EXPECT_NE(text.find("   1280 us   20 |\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("  12032 us  188 |"), std::string::npos) << text;
        EXPECT_NE(text.find("      ...\n"), std::string::npos) << text;
    }
}

