// The receiver port as the built irtick handles it: failed opens, a port
// already held, the power sequence on RTS and DTR, and a port that goes
// away during a run.

#include <stdlib.h>

#include <ostream>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

// A port that has gone away is read at the pace of a silent line, so a
// key is still taken within a read's time-out or so.
constexpr long long kQuitReactionBoundMs = 2000;

const char* const kOpenErrorPrefix = "Error opening port: \\\\.\\";

// Runs irtick in a mount namespace of its own where /dev is an empty
// tmpfs, so no COM name can reach a real serial device.  The && keeps
// irtick from running at all if /dev could not be hidden.
const std::vector<std::string> kHiddenDevPrefix = {
    "unshare", "-m", "sh", "-c", "mount -t tmpfs none /dev && exec \"$@\"", "sh"};

bool CanHideDev()
{
    return system("unshare -m sh -c 'mount -t tmpfs none /dev' >/dev/null 2>&1") == 0;
}

}  // namespace

struct OpenFailureCase {
    const char* name;
    bool hideDev;
    std::vector<std::string> arguments;
    // A file of this name in the working directory, which a COM name must
    // not open.
    const char* decoyFile;
    std::string expectedOutput;
};

// Names the case in the names of the tests.
void PrintTo(const OpenFailureCase& testCase, std::ostream* out) { *out << testCase.name; }

class OpenFailureTest : public IrtickE2eTest,
                        public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailureTest, PrintsTheDevicePathWithTheErrorCodeAndExitsWith255)
{
    const OpenFailureCase& testCase = GetParam();
    if (testCase.hideDev && !CanHideDev()) {
        GTEST_SKIP() << "no private mount namespace here (unshare -m not permitted)";
    }
    if (testCase.decoyFile != nullptr) {
        ASSERT_TRUE(WriteFile(ScratchPath(testCase.decoyFile), "decoy"));
    }
    IrtickLaunch launch;
    launch.arguments = testCase.arguments;
    launch.workingDirectory = scratchDirectory;
    if (testCase.hideDev) launch.commandPrefix = kHiddenDevPrefix;
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));

    EXPECT_EQ(DescribeEnd(*run), ExitedWith(255));
    // The terminal turns the message's line feed into CR LF.
    EXPECT_EQ(Printable(run->output), Printable(testCase.expectedOutput));
}

INSTANTIATE_TEST_SUITE_P(
    Ports, OpenFailureTest,
    ::testing::Values(
        OpenFailureCase{"MissingFile", false, {"-pnothere"}, nullptr,
                        "Error opening port: \\\\.\\nothere (2)\r\n"},
        OpenFailureCase{"NameTooLong", false, {"-p" + std::string(300, 'a')}, nullptr,
                        "Error opening port: \\\\.\\" + std::string(300, 'a') + " (36)\r\n"},
        OpenFailureCase{"ComNameWithDevHidden", true, {"COM5"}, "COM5",
                        "Error opening port: \\\\.\\COM5 (2)\r\n"},
        OpenFailureCase{"LowerCaseComOptionWithDevHidden", true, {"-pcom12"}, "com12",
                        "Error opening port: \\\\.\\com12 (2)\r\n"},
        OpenFailureCase{"DefaultPortWithDevHidden", true, {}, "COM1",
                        "Error opening port: \\\\.\\COM1 (2)\r\n"},
        // The controlling terminal as the port would take every key in its
        // raw settings: refused with EBUSY's code, as /dev/tty and by its
        // own path (standard input is that terminal).
        OpenFailureCase{"ControllingTerminal", false, {"-p/dev/tty"}, nullptr,
                        "Error opening port: \\\\.\\/dev/tty (16)\r\n"},
        OpenFailureCase{"ControllingTerminalByItsPath", false, {"-p/proc/self/fd/0"}, nullptr,
                        "Error opening port: \\\\.\\/proc/self/fd/0 (16)\r\n"}));

// The styles of other serial tools on Linux name the port too: a bare
// /dev/ path, "-p" with the path as the next argument, and a bare ./ path.
TEST_F(IrtickE2eTest, APathArgumentNamesThePort)
{
    const std::string devicePrefix = "/dev/pts/";
    ASSERT_EQ(port.slavePath.compare(0, devicePrefix.size(), devicePrefix), 0) << port.slavePath;
    const std::string name = port.slavePath.substr(devicePrefix.size());
    struct PathCase {
        std::vector<std::string> arguments;
        std::string workingDirectory;
    };
    const PathCase cases[] = {
        {{port.slavePath}, ""},
        {{"-p", port.slavePath}, ""},
        {{"./" + name}, devicePrefix},
    };
    for (const PathCase& pathCase : cases) {
        SCOPED_TRACE(pathCase.arguments.back());
        IrtickLaunch launch;
        launch.arguments = pathCase.arguments;
        launch.workingDirectory = pathCase.workingDirectory;
        IrtickRun* run = Start(launch);
        ASSERT_NE(run, nullptr);
        ASSERT_TRUE(WriteAll(port.master, "0"));
        EXPECT_TRUE(ReadTerminalUntil(run, " 48 ", kOutputTimeoutMs))
            << "printed: " << Printable(run->output);
        ASSERT_TRUE(TypeKeys(run, "q"));
        ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
        EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    }
}

TEST_F(IrtickE2eTest, ASecondIrtickCannotOpenThePortTheFirstHolds)
{
    const std::string firstLog = ScratchPath("first.log");
    const std::string secondLog = ScratchPath("second.log");
    IrtickLaunch firstLaunch;
    firstLaunch.arguments = {PortOption()};
    firstLaunch.modemLogPath = firstLog;
    IrtickRun* first = Start(firstLaunch);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(WaitForPowerUp(first, firstLog, port.slavePath, kPowerUpTimeoutMs));

    IrtickLaunch secondLaunch = firstLaunch;
    secondLaunch.modemLogPath = secondLog;
    IrtickRun* second = Start(secondLaunch);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(WaitForExit(second, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*second), ExitedWith(255));

    // EWOULDBLOCK from the lock, or EBUSY from the exclusive terminal.
    const std::string prefix = kOpenErrorPrefix + port.slavePath + " (";
    const std::string& message = second->output;
    ASSERT_EQ(message.compare(0, prefix.size(), prefix), 0) << Printable(message);
    const std::string code = message.substr(prefix.size());
    EXPECT_TRUE(code == "11)\r\n" || code == "16)\r\n") << Printable(message);
    // The refused open neither set the line nor drove a control line.
    for (const ModemLogEntry& entry : ReadModemLog(secondLog)) {
        EXPECT_NE(entry.path, port.slavePath) << entry.request;
    }

    // The first run goes on undisturbed.
    ASSERT_TRUE(WriteAll(port.master, "0"));
    EXPECT_TRUE(ReadTerminalUntil(first, " 48 ", kOutputTimeoutMs))
        << "printed: " << Printable(first->output);
    ASSERT_TRUE(TypeKeys(first, "q"));
    ASSERT_TRUE(WaitForExit(first, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*first), ExitedWith(0));
}

TEST_F(IrtickE2eTest, PowersTheReceiverUpRtsFirstAfterThePauseAndDownDtrFirst)
{
    const std::string logPath = ScratchPath("modem.log");
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    launch.modemLogPath = logPath;
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForPowerUp(run, logPath, port.slavePath, kPowerUpTimeoutMs));
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));

    // The line settings come first: applying them may raise the lines
    // again, so they are lowered only afterwards.
    const std::vector<ModemLogEntry> log = ReadModemLog(logPath);
    bool lineSet = false;
    bool modemRequestSeen = false;
    for (const ModemLogEntry& entry : log) {
        if (entry.path != port.slavePath) continue;
        if (entry.request == "TERMIOS") {
            EXPECT_FALSE(modemRequestSeen) << "line settings applied after a modem request";
            lineSet = true;
        } else {
            EXPECT_TRUE(lineSet) << entry.request << " before the line settings";
            modemRequestSeen = true;
        }
    }
    EXPECT_TRUE(lineSet);

    // Lowering the two lines one by one passes through a state with one
    // line low; from both low on the sequence is fixed.
    const std::vector<LineState> changes = LineStateChanges(log, port.slavePath);
    size_t bothLow = 0;
    while (bothLow < changes.size() && (changes[bothLow].rts || changes[bothLow].dtr)) ++bothLow;
    ASSERT_LT(bothLow, changes.size()) << "RTS and DTR were never both low";
    EXPECT_LE(bothLow, 1u);
    std::vector<std::string> sequence;
    for (size_t index = bothLow; index < changes.size(); ++index) {
        sequence.push_back(DescribeLineState(changes[index]));
    }
    ASSERT_EQ(sequence, (std::vector<std::string>{"RTS low, DTR low", "RTS high, DTR low",
                                                  "RTS high, DTR high", "RTS high, DTR low",
                                                  "RTS low, DTR low"}));
    EXPECT_GE(changes[bothLow + 1].milliseconds - changes[bothLow].milliseconds,
              kPowerOffPauseLowerBoundMs);
}

TEST_F(IrtickE2eTest, APortWhoseFarEndClosedNeitherEndsTheRunNorSpins)
{
    const std::string logPath = ScratchPath("modem.log");
    IrtickLaunch launch;
    launch.arguments = {PortOption()};
    launch.modemLogPath = logPath;
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForPowerUp(run, logPath, port.slavePath, kPowerUpTimeoutMs));

    // As when a USB adapter is pulled: only irtick's own descriptor of
    // the port is left, on a terminal that has hung up.
    ClosePtyPair(&port);
    ReadTerminalFor(run, 300);
    ASSERT_TRUE(IsRunning(run)) << DescribeEnd(*run);

    const long before = CpuTicks(run->pid);
    ReadTerminalFor(run, kCpuWatchMs);
    const long after = CpuTicks(run->pid);
    ASSERT_GE(before, 0);
    EXPECT_LE(after - before, IdleCpuTicksLimit()) << "CPU ticks used in " << kCpuWatchMs << " ms";
    ASSERT_TRUE(IsRunning(run)) << DescribeEnd(*run);

    const long long typed = MonotonicMilliseconds();
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_LT(MonotonicMilliseconds() - typed, kQuitReactionBoundMs)
        << "ms from the quit key to the exit";
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
    EXPECT_EQ(Printable(run->output), "");
}
