// irtick-analyze -p on a pseudo-terminal, as the foreground job of a
// terminal of its own (the end-to-end harness, starting irtick-analyze):
// frames shown as they come, --save complete, the receiver powered down
// DTR first, the summary written and the terminal restored, whether a key
// or Ctrl+C ends the run.

#include <termios.h>

#include <string>
#include <vector>

#include "analyze_cli_program.h"
#include "e2e_fixture.h"

namespace {

struct LiveEndCase {
    const char* name;
    std::string keys;  // typed on the terminal to end the run
};

void PrintTo(const LiveEndCase& testCase, std::ostream* out) { *out << testCase.name; }

class AnalyzeCliLive : public IrtickE2eTest, public ::testing::WithParamInterface<LiveEndCase> {};

// The JSON lines of the terminal's output: standard error, the terminal
// too, carries the run's messages.
std::string JsonLinesOf(const std::string& output)
{
    std::string lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        if (output.compare(start, 1, "{") == 0) lines += output.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return lines;
}

// The part of the terminal's output after the line that holds `text`.
std::string LinesAfter(const std::string& output, const std::string& text)
{
    const size_t at = output.find(text);
    return at == std::string::npos ? std::string() : output.substr(at);
}

}  // namespace

TEST_P(AnalyzeCliLive, ShowsFramesAsTheyComeSavesEveryByteAndEndsInOrder)
{
    // Two presses, recorded apart: the line is silent between them.
    const std::string nec = MakeCapture(scratchDirectory, {"nec:0x00:0x45:1"});
    // The first burst after the silence ends the pause (a byte of any
    // value), then the Sony frame's own bytes follow.
    const std::string sony = "\x80" + MakeCapture(scratchDirectory, {"sony12:0x15:0x01:1"});
    ASSERT_FALSE(nec.empty() || sony.size() < 2);
    const std::string sent = nec + sony;
    const std::string savePath = ScratchPath("saved.bin");
    // --save appends: what the file held stays in front.
    const std::string earlier = "\xd3\x12";
    ASSERT_TRUE(WriteFile(savePath, earlier));
    const std::string logPath = ScratchPath("modem.log");

    IrtickLaunch launch;
    launch.arguments = {"--json", "-p", port.slavePath, "--save", savePath};
    launch.modemLogPath = logPath;
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForPowerUp(run, logPath, port.slavePath, kPowerUpTimeoutMs)) << run->output;

    // The NEC press shows before the run ends.
    ASSERT_TRUE(WriteAll(port.master, nec));
    EXPECT_TRUE(ReadTerminalUntil(run, "\"protocol\":\"NEC\"", kOutputTimeoutMs)) << run->output;
    ASSERT_TRUE(WriteAll(port.master, sony));
    EXPECT_TRUE(WaitFor(run, [&] { return ReadFileBytes(savePath).size() == earlier.size() + sent.size(); },
                        kOutputTimeoutMs));

    ASSERT_TRUE(TypeKeys(run, GetParam().keys));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs)) << run->output;
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    DrainTerminal(run);

    EXPECT_EQ(ReadFileBytes(savePath), earlier + sent);
    std::vector<JsonValue> summaries;
    const std::vector<ParsedFrame> frames = ParseFrames(JsonLinesOf(run->output), &summaries);
    ASSERT_EQ(summaries.size(), 1u) << Printable(run->output);
    EXPECT_EQ(FindMember(summaries[0], "frames")->numberText, std::to_string(frames.size()));
    EXPECT_EQ(DescribePresses(frames),
              (std::vector<std::string>{"NEC 0/69 BA45FF00 r1 tnull", "Sony 1/21 00095 r0 tnull"}));
    EXPECT_TRUE(LinesAfter(run->output, "\"type\":\"summary\"").find("\"type\":\"frame\"") ==
                std::string::npos);

    // Powered down DTR first, then RTS.
    const std::vector<LineState> changes = LineStateChanges(ReadModemLog(logPath), port.slavePath);
    ASSERT_GE(changes.size(), 2u);
    const LineState& dtrLow = changes[changes.size() - 2];
    const LineState& bothLow = changes.back();
    EXPECT_EQ(DescribeLineState(dtrLow), DescribeLineState(LineState{0, true, false}));
    EXPECT_EQ(DescribeLineState(bothLow), DescribeLineState(LineState{0, false, false}));

    termios after{};
    ASSERT_EQ(tcgetattr(run->terminal.slave, &after), 0);
    EXPECT_EQ(DescribeTermiosDifferences(run->terminalBefore, after), "");
}

INSTANTIATE_TEST_SUITE_P(Ends, AnalyzeCliLive,
                         ::testing::Values(LiveEndCase{"AnyKey", "q"},
                                           LiveEndCase{"CtrlC", "\x03"}));

TEST_F(IrtickE2eTest, AnalyzeLiveOnAPortThatCannotBeOpenedExitsWith2AndPowersNothing)
{
    IrtickLaunch launch;
    launch.arguments = {"-p", ScratchPath("nothere")};
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(2));
    EXPECT_NE(run->output.find("Error opening port: "), std::string::npos) << run->output;
}

TEST_F(IrtickE2eTest, AnalyzeLiveCtrlCDuringThePowerUpPauseStillEndsInOrder)
{
    const std::string logPath = ScratchPath("modem.log");
    IrtickLaunch launch;
    launch.arguments = {"-p", port.slavePath};
    launch.modemLogPath = logPath;
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    // Both lines low: the pause before the power-up has begun.
    ASSERT_TRUE(WaitFor(
        run,
        [&] {
            for (const LineState& state : LineStateChanges(ReadModemLog(logPath), port.slavePath)) {
                if (!state.rts && !state.dtr) return true;
            }
            return false;
        },
        kPowerUpTimeoutMs));
    ASSERT_TRUE(TypeKeys(run, "\x03"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs)) << Printable(run->output);
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    EXPECT_NE(run->output.find("summary: 0 frames"), std::string::npos) << Printable(run->output);
    const std::vector<LineState> changes = LineStateChanges(ReadModemLog(logPath), port.slavePath);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(DescribeLineState(changes.back()), DescribeLineState(LineState{0, false, false}));
}
