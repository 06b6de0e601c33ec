// The built irtick-sim as a user runs it: its command-line errors, its own
// pseudo-terminal and --port, its timing, and how it ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "sim_expected.h"
#include "sim_process.h"

namespace {

// Generous bounds for a loaded two-core machine.
constexpr int kStartTimeoutMs = 5000;
constexpr int kBytesTimeoutMs = 5000;
constexpr int kExitTimeoutMs = 10000;

std::string Joined(const std::vector<std::string>& arguments)
{
    std::string text;
    for (const std::string& argument : arguments) text += "[" + argument + "]";
    return text;
}

// Every simulator and descriptor a test starts is stopped and closed at its
// end, whatever failed.
class SimBinaryTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (SimRun& run : runs) StopSim(&run);
        for (int fd : fds) close(fd);
        if (!scratchFile.empty()) unlink(scratchFile.c_str());
    }

    SimRun* Start(const std::vector<std::string>& arguments)
    {
        runs.emplace_back();
        if (StartSim(arguments, &runs.back()) != 0) {
            ADD_FAILURE() << "irtick-sim could not be started";
            return nullptr;
        }
        return &runs.back();
    }

    // Starts it and reads the port path from its first line.
    SimRun* StartOnPty(const std::vector<std::string>& arguments, std::string* path)
    {
        SimRun* run = Start(arguments);
        if (run == nullptr) return nullptr;
        if (!ReadSimFirstLine(run, path, kStartTimeoutMs)) {
            ADD_FAILURE() << "no port path printed; errors: " << run->errors;
            return nullptr;
        }
        return run;
    }

    int Keep(int fd)
    {
        if (fd >= 0) fds.push_back(fd);
        return fd;
    }

    std::deque<SimRun> runs;
    std::vector<int> fds;
    std::string scratchFile;
};

struct BadCommandCase {
    std::vector<std::string> arguments;
    std::string named;  // standard error must contain it
};

TEST_F(SimBinaryTest, BadCommandLineExitsWith2NamingTheCulpritBeforeAnyPort)
{
    const BadCommandCase cases[] = {
        {{"nec:0:0x45", "nec:1:0x100"}, "nec:1:0x100"},
        {{"sony15:0x80:1"}, "sony15:0x80:1"},
        {{"rc5:0x20:1"}, "ADDR 0x20"},
        {{"--jitter", "77", "nec:0:0x45"}, "--jitter"},
        {{"--bogus", "nec:0:0x45"}, "--bogus"},
        {{"file:/nonexistent/recording"}, "/nonexistent/recording"},
        {{"nec:0:0x45", "--port"}, "--port"},
        {{}, "no items"},
    };
    for (const BadCommandCase& testCase : cases) {
        SCOPED_TRACE(Joined(testCase.arguments));
        runs.clear();
        SimRun* run = Start(testCase.arguments);
        ASSERT_NE(run, nullptr);
        ASSERT_TRUE(WaitForSimExit(run, kExitTimeoutMs));
        EXPECT_EQ(DescribeSimEnd(*run), "exited with 2");
        EXPECT_NE(run->errors.find("irtick-sim: "), std::string::npos) << run->errors;
        EXPECT_NE(run->errors.find(testCase.named), std::string::npos) << run->errors;
        // No port path: nothing was made, nothing sent.
        EXPECT_EQ(run->output, "");
        StopSim(run);
    }
}

TEST_F(SimBinaryTest, HelpPrintsUsageAndExitsWith0)
{
    SimRun* run = Start({"nec:bad", "--help"});
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForSimExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeSimEnd(*run), "exited with 0");
    EXPECT_EQ(run->output.rfind("Usage: irtick-sim ", 0), 0u) << run->output;
    EXPECT_NE(run->output.find("sony20:CMD:ADDR:EXT[:TIMES]"), std::string::npos);
    EXPECT_EQ(run->errors, "");
}

TEST_F(SimBinaryTest, FastSendsEveryByteUntranslatedOnItsOwnPtyAndEndsOnceTheyAreRead)
{
    // A recording of every byte value: a terminal that processed its input
    // would turn CR into LF, take out XON/XOFF, act on ^C or echo.
    char pattern[] = "/tmp/irtick-sim-ramp-XXXXXX";
    const int file = mkstemp(pattern);
    ASSERT_GE(file, 0);
    scratchFile = pattern;
    std::string ramp;
    for (int value = 0; value < 256; ++value) ramp += static_cast<char>(value);
    ASSERT_EQ(write(file, ramp.data(), ramp.size()), static_cast<ssize_t>(ramp.size()));
    close(file);

    const std::vector<std::string> arguments = {
        "--fast", "nec:0:0x45:2", "sony12:0x15:1:2", "file:" + scratchFile, "nec:0x1234:0x45"};
    const std::string expected = ScriptBytes(arguments);
    // NEC: leader and 32 bits, then the pause and repeat bytes, the last
    // pause ending at the Sony start; Sony twice, 12 bytes each with the
    // last bit's between them and one at the recording's start; the
    // recording, whose last burst is the final frame's leader.
    ASSERT_EQ(expected.size(), (33u + 5u) + (12u + 1u + 12u + 1u) + 256u + 33u);

    std::string path;
    SimRun* run = StartOnPty(arguments, &path);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    // Read late: the bytes have been waiting in the pseudo-terminal.
    SleepMilliseconds(200);
    const int port = Keep(OpenPortForReading(path));
    ASSERT_GE(port, 0) << path;
    std::string received;
    ReadPortBytes(port, expected.size(), kBytesTimeoutMs, &received);
    EXPECT_EQ(received, expected);

    ASSERT_TRUE(WaitForSimExit(run, kExitTimeoutMs)) << "still running after all was read";
    EXPECT_EQ(DescribeSimEnd(*run), "exited with 0");
    EXPECT_EQ(run->output, path + "\n");
    EXPECT_EQ(run->errors, "");
    // Nothing more came: the last interval never ends.
    std::string extra;
    ReadPortBytes(port, 1, 200, &extra);
    EXPECT_EQ(extra, "");
}

TEST_F(SimBinaryTest, RealTimeSendsEachByteWhenItsIntervalEnds)
{
    // Bytes due at 1 ms, 401 ms and 801 ms after the start.
    const std::vector<std::string> arguments = {"us:1000,400000,400000"};
    const std::string expected = ScriptBytes(arguments);
    ASSERT_EQ(expected.size(), 3u);
    std::string path;
    const long long started = MonotonicMilliseconds();
    SimRun* run = StartOnPty(arguments, &path);
    ASSERT_NE(run, nullptr);
    const int port = Keep(OpenPortForReading(path));
    ASSERT_GE(port, 0) << path;
    std::string received;
    std::vector<long long> arrivals;
    ReadPortBytes(port, expected.size(), kBytesTimeoutMs, &received, &arrivals);
    ASSERT_EQ(received, expected);
    EXPECT_GE(arrivals[2] - arrivals[1], 200) << "second interval too short";
    EXPECT_LT(arrivals[2] - arrivals[1], 2000);
    EXPECT_GE(arrivals[2] - started, 700) << "the script went too fast";
    ASSERT_TRUE(WaitForSimExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeSimEnd(*run), "exited with 0");
}

TEST_F(SimBinaryTest, PortOptionWritesIntoTheNamedDeviceAndPrintsNothing)
{
    const int master = Keep(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slavePath = ptsname(master);
    // Held open so that the device outlives the simulator's close.
    const int slave = Keep(open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_GE(slave, 0);

    const std::vector<std::string> arguments = {"--fast", "--port", slavePath, "us:832,1088,1216",
                                                "nec:0:0x45"};
    const std::string expected = ScriptBytes(arguments);
    SimRun* run = Start(arguments);
    ASSERT_NE(run, nullptr);
    std::string received;
    ReadPortBytes(master, expected.size(), kBytesTimeoutMs, &received);
    // 13, 17 and 19 (CR, XON, XOFF) come through: the device was set raw.
    EXPECT_EQ(received, expected);
    ASSERT_TRUE(WaitForSimExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeSimEnd(*run), "exited with 0");
    EXPECT_EQ(run->output, "");
    termios line{};
    ASSERT_EQ(tcgetattr(slave, &line), 0);
    EXPECT_EQ(cfgetospeed(&line), B57600);
}

TEST_F(SimBinaryTest, PortThatCannotBeOpenedExitsWith1)
{
    SimRun* run = Start({"--port", "/nonexistent/port", "nec:0:0x45"});
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForSimExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeSimEnd(*run), "exited with 1");
    EXPECT_NE(run->errors.find("/nonexistent/port"), std::string::npos) << run->errors;
}

struct StopCase {
    int signalNumber;
    bool reader;  // false: nobody reads, so --fast fills the port and waits
};

TEST_F(SimBinaryTest, SigintAndSigtermEndALoopedRunWith0)
{
    const StopCase cases[] = {{SIGTERM, true}, {SIGINT, true}, {SIGTERM, false}, {SIGINT, false}};
    for (const StopCase& testCase : cases) {
        SCOPED_TRACE(std::string(strsignal(testCase.signalNumber)) +
                     (testCase.reader ? ", read" : ", nobody reads"));
        runs.clear();
        std::vector<std::string> arguments = {"--loop", "nec:0:0x45:3", "sony12:1:1"};
        if (!testCase.reader) arguments.insert(arguments.begin(), "--fast");
        std::string path;
        SimRun* run = StartOnPty(arguments, &path);
        ASSERT_NE(run, nullptr);
        if (testCase.reader) {
            const int port = Keep(OpenPortForReading(path));
            ASSERT_GE(port, 0);
            std::string received;
            ReadPortBytes(port, 40, kBytesTimeoutMs, &received);
            EXPECT_EQ(received.size(), 40u) << "it does not send";
        } else {
            SleepMilliseconds(300);
        }
        ASSERT_TRUE(!WaitForSimExit(run, 0)) << "it ended by itself: " << DescribeSimEnd(*run);
        kill(run->pid, testCase.signalNumber);
        ASSERT_TRUE(WaitForSimExit(run, kExitTimeoutMs)) << "it did not stop";
        EXPECT_EQ(DescribeSimEnd(*run), "exited with 0");
        StopSim(run);
    }
}

}  // namespace
