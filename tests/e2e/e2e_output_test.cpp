// What the built irtick prints for the receiver's bytes: on the terminal, to
// a file, to a pipe nobody reads, and from a recorded byte stream.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

// The receiver's bytes of the display examples: a leader, a 0 bit and a
// 1 bit, the three bytes that wrap, and both ends of the plain range.
const std::string kIntervalBytes("\xd3\x12\x23\x00\x01\x02\x03\xff", 8);

}  // namespace

struct DisplayCase {
    const char* name;
    std::vector<std::string> options;
    std::string portBytes;
    std::string expected;
};

// Names the case in the names of the tests.
void PrintTo(const DisplayCase& testCase, std::ostream* out) { *out << testCase.name; }

class DisplayTest : public IrtickE2eTest, public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(DisplayTest, PrintsExactlyTheFieldsOfTheReceivedBytes)
{
    const DisplayCase& testCase = GetParam();
    IrtickLaunch launch;
    launch.arguments = testCase.options;
    launch.arguments.push_back(PortOption());
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));

    ASSERT_TRUE(WriteAll(port.master, testCase.portBytes));
    EXPECT_TRUE(ReadTerminalUntil(run, testCase.expected, kOutputTimeoutMs))
        << "printed: " << Printable(run->output);
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));

    // Nothing before, between or after the fields: no banner, no echo of
    // the quit key, no closing line break.
    EXPECT_EQ(Printable(run->output), Printable(testCase.expected));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DisplayTest,
    ::testing::Values(
        DisplayCase{"Ticks", {}, kIntervalBytes, "211  18  35 256 257 258   3 255 "},
        DisplayCase{"Microseconds",
                    {"-t"},
                    kIntervalBytes,
                    "  13504    1152    2240   16384   16448   16512     192   16320 "},
        DisplayCase{"WrapCorrectionOff", {"-r"}, kIntervalBytes, "211  18  35   0   1   2   3 255 "},
        DisplayCase{"Characters", {"-a"}, std::string("Hi\0", 3), std::string("Hi\0", 3)},
        // XOFF, XON, NUL and 255 pass through as they are, and character
        // mode wins over the microseconds display.
        DisplayCase{"CharactersOverMicroseconds",
                    {"/T", "/A"},
                    std::string("\x13z\x11\x00\xff", 5),
                    std::string("\x13z\x11\x00\xff", 5)}));

TEST_F(IrtickE2eTest, StandardOutputToAFileHoldsTheCompleteOutput)
{
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    launch.standardOutputFile = ScratchPath("output.txt");
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));

    // Each key is typed once irtick has taken every byte before it, and the
    // next bytes follow once it has taken the key, so the place of each
    // key's text in the output is fixed.  Nothing else is read meanwhile.
    long long taken = BytesReadByProcess(run->pid);
    ASSERT_GE(taken, 0);
    auto feed = [&](int fd, const std::string& bytes) {
        taken += static_cast<long long>(bytes.size());
        return WriteAll(fd, bytes) &&
               WaitFor(run, [&] { return BytesReadByProcess(run->pid) >= taken; },
                       kOutputTimeoutMs);
    };
    const std::string firstBytes = ByteRamp(0, 150);
    const std::string secondBytes = ByteRamp(150, 150);
    ASSERT_TRUE(feed(port.master, firstBytes));
    ASSERT_TRUE(feed(run->terminal.master, "\r"));
    ASSERT_TRUE(feed(port.master, secondBytes));
    ASSERT_TRUE(feed(run->terminal.master, " "));
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));

    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    const std::string expected = TickFields(firstBytes) + "\n\n" + TickFields(secondBytes) + "\n";
    EXPECT_EQ(Printable(ReadFileBytes(launch.standardOutputFile)), Printable(expected));
    EXPECT_EQ(Printable(run->output), "");
}

// Output that cannot be written: the run goes on, keys still end it.
enum class DeadOutput { kClosedPipe, kFullDevice };

struct DeadOutputCase {
    const char* name;
    DeadOutput output;
};

// Names the case in the names of the tests.
void PrintTo(const DeadOutputCase& testCase, std::ostream* out) { *out << testCase.name; }

class DeadOutputTest : public IrtickE2eTest,
                       public ::testing::WithParamInterface<DeadOutputCase> {};

TEST_P(DeadOutputTest, DoesNotEndTheRunNorReachThePort)
{
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    int outputPipe[2] = {-1, -1};
    if (GetParam().output == DeadOutput::kClosedPipe) {
        ASSERT_EQ(pipe2(outputPipe, O_CLOEXEC), 0);
        // The reader is gone before irtick writes anything, as after
        // `irtick | head -c 40` has had its fill.
        close(outputPipe[0]);
        launch.standardOutputFd = outputPipe[1];
    } else {
        launch.standardOutputFile = "/dev/full";  // every write fails with ENOSPC
    }
    IrtickRun* run = Start(launch);
    if (outputPipe[1] >= 0) close(outputPipe[1]);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));

    // 2000 fields of 4 characters overflow any output buffer, so writes
    // fail during the run and not only at the exit.
    const long long taken = BytesReadByProcess(run->pid);
    ASSERT_GE(taken, 0);
    ASSERT_TRUE(WriteAll(port.master, ByteRamp(3, 2000)));
    WaitFor(
        run, [&] { return BytesReadByProcess(run->pid) >= taken + 2000 || !IsRunning(run); },
        kOutputTimeoutMs);
    ReadTerminalFor(run, 200);
    ASSERT_TRUE(IsRunning(run)) << DescribeEnd(*run);

    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    EXPECT_EQ(Printable(run->output), "");
    EXPECT_EQ(BytesWaiting(port.master), 0) << "written to the serial line";
    termios after;
    ASSERT_EQ(tcgetattr(run->terminal.slave, &after), 0);
    EXPECT_EQ(DescribeTermiosDifferences(run->terminalBefore, after), "");
}

INSTANTIATE_TEST_SUITE_P(Outputs, DeadOutputTest,
                         ::testing::Values(DeadOutputCase{"ClosedPipe", DeadOutput::kClosedPipe},
                                           DeadOutputCase{"DevFull", DeadOutput::kFullDevice}));

TEST_F(IrtickE2eTest, ReplaysARecordedStreamFromAFileWithoutSpinningAtItsEnd)
{
    ASSERT_TRUE(WriteFile(ScratchPath("capture.bin"), kIntervalBytes));
    IrtickLaunch launch;
    launch.arguments = {"-p./capture.bin"};
    launch.workingDirectory = scratchDirectory;
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);

    const std::string expected = "211  18  35 256 257 258   3 255 ";
    EXPECT_TRUE(ReadTerminalUntil(run, expected, kPowerUpTimeoutMs))
        << "printed: " << Printable(run->output);

    // At the end of the file every read waits out its time-out.
    const long before = CpuTicks(run->pid);
    ReadTerminalFor(run, kCpuWatchMs);
    const long after = CpuTicks(run->pid);
    ASSERT_GE(before, 0);
    EXPECT_LE(after - before, IdleCpuTicksLimit()) << "CPU ticks used in " << kCpuWatchMs << " ms";

    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(Printable(run->output), Printable(expected));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
}

// Output to a file is held in irtick; a signal that ends the run writes it
// out first, so the file holds every field printed.
struct SignalEndingCase {
    const char* name;
    int signalNumber;
    const char* typedKey;  // typed on the terminal; nullptr: sent with kill()
};

// Names the case in the names of the tests.
void PrintTo(const SignalEndingCase& testCase, std::ostream* out) { *out << testCase.name; }

class OutputOnSignalTest : public IrtickE2eTest,
                           public ::testing::WithParamInterface<SignalEndingCase> {};

TEST_P(OutputOnSignalTest, FileHoldsEveryFieldPrintedBeforeTheSignal)
{
    const SignalEndingCase& ending = GetParam();
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    launch.standardOutputFile = ScratchPath("capture.txt");
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));

    // Fewer fields than the held buffer takes: before the fix none of them
    // reached the file.
    const std::string bytes = ByteRamp(3, 500);
    ASSERT_TRUE(FeedAndAwaitTaken(run, port.master, bytes));
    ReadTerminalFor(run, 300);

    if (ending.typedKey != nullptr) {
        ASSERT_TRUE(TypeKeys(run, ending.typedKey));
    } else {
        ASSERT_EQ(kill(run->pid, ending.signalNumber), 0);
    }
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), KilledBy(ending.signalNumber));
    EXPECT_EQ(Printable(ReadFileBytes(launch.standardOutputFile)), Printable(TickFields(bytes)));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, OutputOnSignalTest,
    ::testing::Values(SignalEndingCase{"TypedCtrlC", SIGINT, "\x03"},
                      SignalEndingCase{"SigInt", SIGINT, nullptr},
                      SignalEndingCase{"SigTerm", SIGTERM, nullptr},
                      SignalEndingCase{"SigHup", SIGHUP, nullptr},
                      SignalEndingCase{"SigQuit", SIGQUIT, nullptr},
                      SignalEndingCase{"SigAbrt", SIGABRT, nullptr},
                      // Sent while the file is far from any size limit:
                      // before the fix the held fields were dropped.
                      SignalEndingCase{"SigXfsz", SIGXFSZ, nullptr},
                      SignalEndingCase{"SigUsr1", SIGUSR1, nullptr}));

// Started with standard descriptors closed, irtick must not let the
// keyboard or the port take their numbers: nothing it prints may reach
// the serial line.
class ClosedDescriptorsTest : public IrtickE2eTest,
                              public ::testing::WithParamInterface<std::vector<int>> {};

TEST_P(ClosedDescriptorsTest, NothingIsWrittenToThePort)
{
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    launch.closedStandardDescriptors = GetParam();
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));

    // More fields than output held for a file takes, so that some are
    // written out during the run, while the port is open.
    ASSERT_TRUE(FeedAndAwaitTaken(run, port.master, ByteRamp(3, 3000)));
    ASSERT_TRUE(TypeKeys(run, "\r"));
    ReadTerminalFor(run, 300);
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));

    std::string atFarEnd;
    char chunk[256];
    ssize_t got = 0;
    while ((got = read(port.master, chunk, sizeof chunk)) > 0) atFarEnd.append(chunk, got);
    EXPECT_EQ(Printable(atFarEnd), "") << "written to the serial line";
    // Standard output was closed: the display went nowhere, the terminal
    // shows nothing either.
    EXPECT_EQ(Printable(run->output), "");
}

INSTANTIATE_TEST_SUITE_P(Descriptors, ClosedDescriptorsTest,
                         ::testing::Values(std::vector<int>{0, 1}, std::vector<int>{1},
                                           std::vector<int>{0, 1, 2}));
