#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/irtick_main.h"
#include "app/monitor_loop.h"
#include "app/run_options.h"
#include "fakes/fake_console.h"
#include "fakes/fake_serial_api.h"
#include "link/receiver_port.h"

namespace {

constexpr int kQuitKey = 'q';

class MonitorLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFakeSerial();
        ResetFakeConsole();
        receiverPort = FakePortHandle();
    }

    static RunOptions Options(std::vector<const char*> arguments)
    {
        arguments.insert(arguments.begin(), "irtick");
        return ParseRunOptions(static_cast<int>(arguments.size()), arguments.data());
    }

    // Runs the loop over the scripted reads and gives what it printed.
    static std::string Run(const RunOptions& options, std::vector<FakeRead> reads)
    {
        fakeReads.assign(reads.begin(), reads.end());
        RunMonitor(options);
        EXPECT_TRUE(fakeReads.empty()) << "the loop ended before the script did";
        return fakeConsoleOutput;
    }

    static std::vector<std::string> CallsAfterLastRead()
    {
        std::vector<std::string> calls;
        for (const std::string& call : fakeSerialCalls) {
            if (call.rfind("ReadFile", 0) == 0) {
                calls.clear();
            } else {
                calls.push_back(call);
            }
        }
        return calls;
    }
};

struct DisplayCase {
    std::vector<const char*> arguments;
    std::vector<unsigned char> bytes;
    std::string expected;
};

TEST_F(MonitorLoop, ShowsEachByteInTheChosenDisplay)
{
    const std::vector<unsigned char> mixed = {211, 18, 35, 0, 1, 2, 3, 255};
    const DisplayCase cases[] = {
        {{}, mixed, "211  18  35 256 257 258   3 255 "},
        {{"-r"}, mixed, "211  18  35   0   1   2   3 255 "},
        {{"-t"}, mixed, "  13504    1152    2240   16384   16448   16512     192   16320 "},
        {{"-t", "-r"}, {0, 2, 3}, "      0     128     192 "},
        {{"-a"}, {72, 105}, "Hi"},
        {{"-a", "-t", "-r", "-n", "-s12"}, {0, 10, 13, 200, 255, 1},
         std::string("\0\n\r\xC8\xFF\x01", 6)},
    };
    for (const DisplayCase& c : cases) {
        SetUp();
        SCOPED_TRACE(testing::PrintToString(std::vector<std::string>(c.arguments.begin(), c.arguments.end())));
        EXPECT_EQ(Run(Options(c.arguments), {{c.bytes, {kQuitKey}}}), c.expected);
    }
}

TEST_F(MonitorLoop, FieldsOfOneReadComeBeforeAKeysText)
{
    // Enter and Space pressed together while a burst arrives: all fields of
    // the read first, then Enter's text, then the next read, then Space's.
    const std::string output = Run(Options({}), {
                                                    {{211, 18, 35}, {13, 32}},
                                                    {{176}, {}},
                                                    {{}, {kQuitKey}},
                                                });
    EXPECT_EQ(output, "211  18  35 \n\n176 \n");
    EXPECT_EQ(std::count(fakeSerialCalls.begin(), fakeSerialCalls.end(), "ReadFile 16"), 3);
}

TEST_F(MonitorLoop, AnyOtherKeyClosesThePortAndEndsTheLoop)
{
    // Letters, Escape, the first codes of extended keys, Ctrl+C as a byte,
    // and a console that failed between the test and the read.
    for (int key : {int{'q'}, int{'x'}, 27, 0, 224, 3, 10, -1}) {
        SetUp();
        SCOPED_TRACE(key);
        EXPECT_EQ(Run(Options({}), {{{}, {key}}}), "");
        const std::vector<std::string> expected = {"EscapeCommFunction CLRDTR",
                                                   "EscapeCommFunction CLRRTS", "CloseHandle"};
        EXPECT_EQ(CallsAfterLastRead(), expected);
        EXPECT_EQ(receiverPort, nullptr);
    }
}

TEST_F(MonitorLoop, FailedReadCountsAsNoBytes)
{
    FakeRead failed;
    failed.succeeds = false;
    failed.bytes = {99};
    const std::string output = Run(Options({}), {failed, {{5}, {kQuitKey}}});
    EXPECT_EQ(output, "  5 ");
}

TEST_F(MonitorLoop, DecodersGetTicksAfterTheFieldNecBeforeSony)
{
    const DisplayCase cases[] = {
        {{"-n", "-s12"}, {19, 1}, " 19 <N19><S19/12>257 <N257><S257/12>"},
        {{"-s20", "-n"}, {211}, "211 <N211><S211/20>"},
        {{"-t", "-n", "-s15"}, {211}, "  13504 <N211><S211/15>"},
        {{"-n", "-r"}, {1}, "  1 <N1>"},
        {{"-s15"}, {47}, " 47 <S47/15>"},
        {{"-s16", "-n"}, {47}, " 47 <N47>"},
        {{"-a", "-n", "-s12"}, {'4', '7'}, "47"},
    };
    for (const DisplayCase& c : cases) {
        SetUp();
        SCOPED_TRACE(testing::PrintToString(std::vector<std::string>(c.arguments.begin(), c.arguments.end())));
        EXPECT_EQ(Run(Options(c.arguments), {{c.bytes, {kQuitKey}}}), c.expected);
    }
}

TEST_F(MonitorLoop, IntervalValueTable)
{
    for (unsigned byte = 0; byte < 256; ++byte) {
        const unsigned wrapped = byte < 3 ? byte + 256 : byte;
        EXPECT_EQ(FormIntervalValue(static_cast<unsigned char>(byte), true), wrapped);
        EXPECT_EQ(FormIntervalValue(static_cast<unsigned char>(byte), false), byte);
    }
}

TEST_F(MonitorLoop, EntryGivesMinusOneAfterAFailedOpenAndDoesNothingElse)
{
    receiverPort = nullptr;
    fakeOpenFails = true;
    fakeOpenError = 2;
    fakeWaitingKeys.push_back(13);
    const char* arguments[] = {"irtick", "-pnothere", "-n"};
    EXPECT_EQ(RunIrtick(3, arguments), -1);
    EXPECT_EQ(fakeConsoleOutput, "Error opening port: \\\\.\\nothere (2)\n");
    EXPECT_EQ(fakeSerialCalls, std::vector<std::string>{"CreateFileA \\\\.\\nothere"});
    EXPECT_EQ(fakeWaitingKeys.size(), 1u) << "no key may be read after a failed open";
}

TEST_F(MonitorLoop, KeyPressedDuringThePowerUpPauseIsTakenAfterTheFirstRead)
{
    // Enter pressed in the 500 ms pause: its text follows the first read's
    // fields, not before them and not after the second read's.
    receiverPort = nullptr;
    fakeKeysDuringSleep = {13};
    fakeReads = {{{211, 18}, {}}, {{35}, {kQuitKey}}};
    const char* arguments[] = {"irtick", "COM7"};
    EXPECT_EQ(RunIrtick(2, arguments), 0);
    EXPECT_EQ(fakeConsoleOutput, "211  18 \n\n 35 ");
    const auto pause = std::find(fakeSerialCalls.begin(), fakeSerialCalls.end(), "Sleep 500");
    const std::vector<std::string> afterPause(pause, fakeSerialCalls.end());
    const std::vector<std::string> expected = {
        "Sleep 500", "EscapeCommFunction SETRTS", "EscapeCommFunction SETDTR", "ReadFile 16",
        "ReadFile 16", "EscapeCommFunction CLRDTR", "EscapeCommFunction CLRRTS", "CloseHandle"};
    EXPECT_EQ(afterPause, expected);
}

TEST_F(MonitorLoop, EntryRunsOpenLoopAndCloseThenGivesZero)
{
    receiverPort = nullptr;
    fakeReads = {{{211}, {13}}, {{}, {kQuitKey}}};
    const char* arguments[] = {"irtick", "COM7"};
    EXPECT_EQ(RunIrtick(2, arguments), 0);
    EXPECT_EQ(fakeConsoleOutput, "211 \n\n");
    ASSERT_FALSE(fakeSerialCalls.empty());
    EXPECT_EQ(fakeSerialCalls.front(), "CreateFileA \\\\.\\COM7");
    EXPECT_EQ(fakeSerialCalls.back(), "CloseHandle");
    EXPECT_EQ(receiverPort, nullptr);
}

}  // namespace
