// Keys typed on irtick's terminal, and the terminal's state after every way
// a run can end.

#include <signal.h>
#include <termios.h>

#include <ostream>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

// The line states after the receiver was powered up (both lines raised
// after they had been lowered), described for comparison.
std::vector<std::string> LineStatesAfterPowerUp(const std::string& logPath,
                                                const std::string& portPath)
{
    const std::vector<LineState> changes = LineStateChanges(ReadModemLog(logPath), portPath);
    std::vector<std::string> after;
    bool lowered = false;
    bool poweredUp = false;
    for (const LineState& state : changes) {
        if (poweredUp) {
            after.push_back(DescribeLineState(state));
        } else if (!state.rts && !state.dtr) {
            lowered = true;
        } else if (lowered && state.rts && state.dtr) {
            poweredUp = true;
        }
    }
    return after;
}

}  // namespace

struct QuitKeyCase {
    const char* name;
    std::string keys;
};

// Names the case in the names of the tests.
void PrintTo(const QuitKeyCase& testCase, std::ostream* out) { *out << testCase.name; }

class QuitKeyTest : public IrtickE2eTest, public ::testing::WithParamInterface<QuitKeyCase> {};

TEST_P(QuitKeyTest, EnterAndSpaceBreakLinesAndTheKeyEndsTheRunWithNothingLeftTyped)
{
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));

    // Enter sends a carriage return; it must reach irtick untranslated.
    ASSERT_TRUE(TypeKeys(run, "\r"));
    EXPECT_TRUE(ReadTerminalUntil(run, "\r\n\r\n", kOutputTimeoutMs))
        << "printed: " << Printable(run->output);
    ASSERT_TRUE(TypeKeys(run, " "));
    EXPECT_TRUE(ReadTerminalUntil(run, "\r\n\r\n\r\n", kOutputTimeoutMs))
        << "printed: " << Printable(run->output);
    ASSERT_TRUE(IsRunning(run)) << DescribeEnd(*run);

    ASSERT_TRUE(TypeKeys(run, GetParam().keys));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    // The terminal's output processing turns each line feed into CR LF;
    // nothing is echoed.
    EXPECT_EQ(Printable(run->output), "\\r\\n\\r\\n\\r\\n");
    // Every byte of the key was taken, none is left for the shell.
    EXPECT_EQ(BytesWaiting(run->terminal.slave), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, QuitKeyTest,
    ::testing::Values(QuitKeyCase{"Letter", "q"}, QuitKeyCase{"ArrowUp", "\x1b[A"},
                      QuitKeyCase{"F5", "\x1b[15~"}, QuitKeyCase{"Escape", "\x1b"},
                      // No XON/XOFF on the terminal: Ctrl+S is a key like any
                      // other instead of freezing the output.
                      QuitKeyCase{"CtrlS", "\x13"},
                      // Input that is no key goes before the key: only the
                      // key ends the run.
                      QuitKeyCase{"AfterMouseAndFocus", "\x1b[<0;10;10M\x1b[I\x1b[M !!q"},
                      QuitKeyCase{"Utf8Character", "\xc3\xa9"}));

enum class Ending { kQuitKey, kFailedOpen, kSignal, kTypedInterrupt };

struct EndingCase {
    const char* name;
    Ending how;
    int signalNumber;        // the signal sent, or the one expected to end the run
    const char* typed = "";  // the key typed for kQuitKey and kTypedInterrupt
};

// Names the case in the names of the tests.
void PrintTo(const EndingCase& testCase, std::ostream* out) { *out << testCase.name; }

class EndingTest : public IrtickE2eTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(EndingTest, LeavesTheTerminalAsItWasFound)
{
    const EndingCase& testCase = GetParam();
    const std::string logPath = ScratchPath("modem.log");
    IrtickLaunch launch;
    launch.modemLogPath = logPath;
    launch.arguments = {testCase.how == Ending::kFailedOpen ? "-p" + ScratchPath("nothere")
                                                            : PortOption()};
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);

    if (testCase.how != Ending::kFailedOpen) {
        ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));
        // While running only the input side differs: no echo, no line
        // input, but signals from the keyboard and output processing stay.
        termios during;
        ASSERT_EQ(tcgetattr(run->terminal.slave, &during), 0);
        EXPECT_EQ(during.c_lflag & (ECHO | ICANON), 0u);
        EXPECT_NE(during.c_lflag & ISIG, 0u);
        EXPECT_EQ(during.c_oflag, run->terminalBefore.c_oflag);
        EXPECT_EQ(during.c_cflag, run->terminalBefore.c_cflag);

        ASSERT_TRUE(WaitForPowerUp(run, logPath, port.slavePath, kPowerUpTimeoutMs));
        switch (testCase.how) {
        case Ending::kQuitKey:
        case Ending::kTypedInterrupt:
            ASSERT_TRUE(TypeKeys(run, testCase.typed));
            break;
        case Ending::kSignal:
            ASSERT_EQ(kill(run->pid, testCase.signalNumber), 0);
            break;
        case Ending::kFailedOpen:
            break;
        }
    }
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));

    switch (testCase.how) {
    case Ending::kQuitKey:
        EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
        // Powered down: DTR first, then RTS.
        EXPECT_EQ(LineStatesAfterPowerUp(logPath, port.slavePath),
                  (std::vector<std::string>{"RTS high, DTR low", "RTS low, DTR low"}));
        break;
    case Ending::kFailedOpen:
        EXPECT_EQ(DescribeEnd(*run), ExitedWith(255));
        for (const ModemLogEntry& entry : ReadModemLog(logPath)) {
            EXPECT_EQ(entry.request, "TERMIOS") << "modem request on " << entry.path;
        }
        break;
    case Ending::kSignal:
    case Ending::kTypedInterrupt:
        EXPECT_EQ(DescribeEnd(*run), KilledBy(testCase.signalNumber));
        // The signal ends the run where it stands: the receiver stays
        // powered.
        EXPECT_EQ(LineStatesAfterPowerUp(logPath, port.slavePath), std::vector<std::string>());
        break;
    }

    termios after;
    ASSERT_EQ(tcgetattr(run->terminal.slave, &after), 0);
    EXPECT_EQ(DescribeTermiosDifferences(run->terminalBefore, after), "");
}

INSTANTIATE_TEST_SUITE_P(
    Endings, EndingTest,
    ::testing::Values(EndingCase{"QuitKey", Ending::kQuitKey, 0, "q"},
                      // Ctrl+\ is a key as any other, not the quit signal.
                      EndingCase{"CtrlBackslash", Ending::kQuitKey, 0, "\x1c"},
                      EndingCase{"FailedOpen", Ending::kFailedOpen, 0},
                      EndingCase{"SigInt", Ending::kSignal, SIGINT},
                      EndingCase{"SigTerm", Ending::kSignal, SIGTERM},
                      EndingCase{"SigHup", Ending::kSignal, SIGHUP},
                      EndingCase{"SigQuit", Ending::kSignal, SIGQUIT},
                      EndingCase{"SigXfsz", Ending::kSignal, SIGXFSZ},
                      EndingCase{"SigAbrt", Ending::kSignal, SIGABRT},
                      EndingCase{"SigSegv", Ending::kSignal, SIGSEGV},
                      EndingCase{"SigUsr1", Ending::kSignal, SIGUSR1},
                      EndingCase{"SigAlrm", Ending::kSignal, SIGALRM},
                      EndingCase{"SigPwr", Ending::kSignal, SIGPWR},
                      EndingCase{"TypedCtrlC", Ending::kTypedInterrupt, SIGINT, "\x03"}));

TEST_F(IrtickE2eTest, CtrlZSuspendsWithTheTerminalRestoredAndContinuingTakesKeysAgain)
{
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    launch.standardOutputFile = ScratchPath("capture.txt");
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));
    const std::string before = ByteRamp(3, 500);
    ASSERT_TRUE(FeedAndAwaitTaken(run, port.master, before));

    ASSERT_TRUE(TypeKeys(run, "\x1a"));
    ASSERT_TRUE(WaitFor(run, [&] { return ProcessState(run->pid) == 'T'; }, kStartTimeoutMs))
        << "state " << ProcessState(run->pid) << ", " << DescribeEnd(*run);
    termios suspended;
    ASSERT_EQ(tcgetattr(run->terminal.slave, &suspended), 0);
    EXPECT_EQ(DescribeTermiosDifferences(run->terminalBefore, suspended), "");

    // What `fg` does, less the change of foreground group: irtick never
    // stopped being the foreground job.
    ASSERT_EQ(kill(run->pid, SIGCONT), 0);
    ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));
    // Enter once irtick has taken it, then the bytes after it, so that the
    // place of the line breaks in the output is fixed.
    ASSERT_TRUE(FeedAndAwaitTaken(run, run->terminal.master, "\r"));
    const std::string after = ByteRamp(7, 300);
    ASSERT_TRUE(FeedAndAwaitTaken(run, port.master, after));
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));

    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    // Nothing lost or written twice across the stop.
    EXPECT_EQ(Printable(ReadFileBytes(launch.standardOutputFile)),
              Printable(TickFields(before) + "\n\n" + TickFields(after)));
    EXPECT_EQ(Printable(run->output), "");
    termios ended;
    ASSERT_EQ(tcgetattr(run->terminal.slave, &ended), 0);
    EXPECT_EQ(DescribeTermiosDifferences(run->terminalBefore, ended), "");
}

TEST_F(IrtickE2eTest, KeysComeFromTheTerminalWhenStandardInputIsAFile)
{
    const std::string logPath = ScratchPath("modem.log");
    ASSERT_TRUE(WriteFile(ScratchPath("keys.txt"), "q\n"));
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    launch.standardInputFile = ScratchPath("keys.txt");
    launch.modemLogPath = logPath;
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));
    ASSERT_TRUE(WaitForPowerUp(run, logPath, port.slavePath, kPowerUpTimeoutMs));

    // Several key polls go by; the "q" of standard input ends nothing.
    ReadTerminalFor(run, 500);
    ASSERT_TRUE(IsRunning(run)) << DescribeEnd(*run);
    EXPECT_EQ(Printable(run->output), "");

    ASSERT_TRUE(TypeKeys(run, " "));
    EXPECT_TRUE(ReadTerminalUntil(run, "\r\n", kOutputTimeoutMs));
    ASSERT_TRUE(TypeKeys(run, "x"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    EXPECT_EQ(Printable(run->output), "\\r\\n");
}
