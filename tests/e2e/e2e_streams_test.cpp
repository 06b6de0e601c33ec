// The built irtick on streams at their limits: output to a file that reaches
// its size limit, one recording replayed by two runs at once, and a large
// recording at full speed into a file.

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "e2e_fixture.h"

namespace {

// The value of a "Name:  value" line of a /proc file, -1 when it is not
// there.
long long ProcValue(const std::string& path, const std::string& name)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, name.size(), name) == 0) return std::stoll(line.substr(name.size()));
    }
    return -1;
}

// Where the process's descriptor of the file at `path` stands, -1 when it
// has none.
long long FilePosition(pid_t pid, const std::string& path)
{
    const std::string fdDirectory = "/proc/" + std::to_string(pid) + "/fd";
    DIR* directory = opendir(fdDirectory.c_str());
    if (directory == nullptr) return -1;
    long long position = -1;
    while (const dirent* entry = readdir(directory)) {
        char target[4096];
        const std::string link = fdDirectory + "/" + entry->d_name;
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length <= 0 || std::string(target, length) != path) continue;
        position = ProcValue("/proc/" + std::to_string(pid) + "/fdinfo/" + entry->d_name, "pos:");
        break;
    }
    closedir(directory);
    return position;
}

// Offset of the first byte where two texts differ, for messages.
size_t FirstDifference(const std::string& expected, const std::string& actual)
{
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    return at;
}

}  // namespace

TEST_F(IrtickE2eTest, OutputFileAtItsSizeLimitIsFilledToTheLimitAndTheRunEndsBySigxfsz)
{
    // Less than the 8 KiB irtick holds: the first write-out meets the limit.
    constexpr int kFileSizeLimit = 6000;
    IrtickLaunch launch;
    launch.commandPrefix = {"prlimit", "--fsize=" + std::to_string(kFileSizeLimit)};
    launch.arguments = {PortOption()};
    launch.standardOutputFile = ScratchPath("capture.txt");
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForKeyMode(run, kStartTimeoutMs));
    ASSERT_TRUE(WaitForLineConfigured(run, port.slave, kStartTimeoutMs));

    const std::string bytes = ByteRamp(3, 3000);  // 12000 characters
    ASSERT_TRUE(WriteAll(port.master, bytes));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), KilledBy(SIGXFSZ));
    EXPECT_EQ(Printable(ReadFileBytes(launch.standardOutputFile)),
              Printable(TickFields(bytes).substr(0, kFileSizeLimit)));
    termios after;
    ASSERT_EQ(tcgetattr(run->terminal.slave, &after), 0);
    EXPECT_EQ(DescribeTermiosDifferences(run->terminalBefore, after), "");
}

TEST_F(IrtickE2eTest, TwoRunsReplayOneRecordingAtTheSameTime)
{
    const std::string recording = ByteRamp(0, 300);
    ASSERT_TRUE(WriteFile(ScratchPath("capture.bin"), recording));
    IrtickLaunch launch;
    launch.arguments = {"-p./capture.bin"};
    launch.workingDirectory = scratchDirectory;
    IrtickRun* first = Start(launch);
    ASSERT_NE(first, nullptr);
    IrtickRun* second = Start(launch);
    ASSERT_NE(second, nullptr);

    const std::string expected = TickFields(recording);
    for (IrtickRun* run : {first, second}) {
        EXPECT_TRUE(ReadTerminalUntil(run, expected, kPowerUpTimeoutMs))
            << "printed: " << Printable(run->output);
    }
    // Both still run, each holding the recording open.
    for (IrtickRun* run : {first, second}) ASSERT_TRUE(IsRunning(run)) << DescribeEnd(*run);
    for (IrtickRun* run : {first, second}) {
        ASSERT_TRUE(TypeKeys(run, "q"));
        ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
        EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));
        EXPECT_EQ(Printable(run->output), Printable(expected));
    }
}

TEST_F(IrtickE2eTest, TenMegabytesAtFullSpeedIntoAFileLoseNothingInLittleMemory)
{
    constexpr int kRecordingBytes = 10 * 1024 * 1024;
    // A few seconds on a quiet machine.
    constexpr int kReplayTimeoutMs = 120000;
    const std::string recording = ByteRamp(0, kRecordingBytes);
    const std::string recordingPath = ScratchPath("big.bin");
    ASSERT_TRUE(WriteFile(recordingPath, recording));
    IrtickLaunch launch;
    launch.arguments = {"-p./big.bin"};
    launch.workingDirectory = scratchDirectory;
    launch.standardOutputFile = ScratchPath("capture.txt");
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);

    ASSERT_TRUE(WaitFor(
        run, [&] { return FilePosition(run->pid, recordingPath) == kRecordingBytes; },
        kReplayTimeoutMs))
        << "recording read up to " << FilePosition(run->pid, recordingPath);
    const long long peakKiB =
        ProcValue("/proc/" + std::to_string(run->pid) + "/status", "VmHWM:");
    ASSERT_TRUE(TypeKeys(run, "q"));
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs));
    EXPECT_EQ(DescribeEnd(*run), ExitedWith(0));

    const std::string expected = TickFields(recording);
    const std::string written = ReadFileBytes(launch.standardOutputFile);
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "first difference at byte "
                                     << FirstDifference(expected, written);
    EXPECT_GT(peakKiB, 0);
#ifndef IRTICK_SANITIZED
    // About 3 MiB; a buffer that grows with the input would pass it within
    // the first megabytes.  (The sanitizers' shadow memory and quarantine
    // dwarf irtick's own.)
    constexpr long long kPeakMemoryBoundKiB = 4 * 1024;
    EXPECT_LT(peakKiB, kPeakMemoryBoundKiB) << "VmHWM in KiB";
#endif
}
