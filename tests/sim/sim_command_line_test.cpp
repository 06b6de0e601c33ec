// irtick-sim's command line: options and items in any order, --help, the
// messages for bad arguments, and the numbers.
#include "sim_script.h"
#include "sim_script_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

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
