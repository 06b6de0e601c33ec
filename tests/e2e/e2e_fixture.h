// The fixture of the end-to-end tests: a raw pseudo-terminal as the port, a
// scratch directory, and every irtick started through it stopped and reaped
// at the end of the test, whatever failed.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <string>

#include "pty_harness.h"

// Generous bounds for a loaded two-core machine.
constexpr int kStartTimeoutMs = 5000;     // until key mode or line settings
constexpr int kPowerUpTimeoutMs = 5000;   // until RTS and DTR are raised
constexpr int kOutputTimeoutMs = 5000;    // until expected text shows
constexpr int kExitTimeoutMs = 5000;      // from the quit key to the exit
// The pause with both lines low lasts 500 ms; well under that is a fault.
constexpr long long kPowerOffPauseLowerBoundMs = 450;
// An idle run (no bytes, or a port that has gone away) is watched this long
// and may use at most a quarter of it on a CPU: a read loop that turns
// without waiting takes a whole core.
constexpr int kCpuWatchMs = 1000;
inline long IdleCpuTicksLimit()
{
    return sysconf(_SC_CLK_TCK) * kCpuWatchMs / 1000 / 4;
}

// Byte streams and what irtick prints for them.

// The tick display of a run of bytes with wrap correction on.
inline std::string TickFields(const std::string& bytes)
{
    std::string text;
    for (unsigned char byte : bytes) {
        const int value = byte < 3 ? byte + 256 : byte;
        char field[8];
        std::snprintf(field, sizeof field, "%3i ", value);
        text += field;
    }
    return text;
}

// Every byte value, and then some, so that no value is taken for a
// control character anywhere on the way.
inline std::string ByteRamp(int first, int count)
{
    std::string bytes;
    for (int index = first; index < first + count; ++index) {
        bytes += static_cast<char>(index % 256);
    }
    return bytes;
}

// Writes bytes to the port's far end and waits until irtick has taken them
// all; each is printed as soon as the read that takes it returns.
inline bool FeedAndAwaitTaken(IrtickRun* run, int portMaster, const std::string& bytes)
{
    const long long taken = BytesReadByProcess(run->pid);
    const long long wanted = taken + static_cast<long long>(bytes.size());
    return taken >= 0 && WriteAll(portMaster, bytes) &&
           WaitFor(run, [&] { return BytesReadByProcess(run->pid) >= wanted; }, kOutputTimeoutMs);
}

class IrtickE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratchDirectory = MakeTemporaryDirectory();
        ASSERT_FALSE(scratchDirectory.empty());
        ASSERT_EQ(OpenPtyPair(&port), 0);
        ASSERT_EQ(MakeLineRaw(port.slave), 0);
    }

    void TearDown() override
    {
        for (IrtickRun& run : runs) StopIrtick(&run);
        ClosePtyPair(&port);
        RemoveTemporaryDirectory(scratchDirectory);
    }

    // Starts irtick; the run lives until the end of the test.  Fails the
    // test (returning nullptr) if the start fails.
    IrtickRun* Start(const IrtickLaunch& launch)
    {
        runs.emplace_back();
        IrtickRun* run = &runs.back();
        if (StartIrtick(launch, run) != 0) {
            ADD_FAILURE() << "irtick could not be started";
            return nullptr;
        }
        return run;
    }

    std::string PortOption() const { return "-p" + port.slavePath; }

    std::string ScratchPath(const std::string& name) const
    {
        return scratchDirectory + "/" + name;
    }

    // "exited with 0", "killed by signal 2", for messages and comparisons.
    static std::string DescribeEnd(const IrtickRun& run)
    {
        if (!run.ended) return "still running";
        if (WIFEXITED(run.waitStatus)) {
            return "exited with " + std::to_string(WEXITSTATUS(run.waitStatus));
        }
        if (WIFSIGNALED(run.waitStatus)) {
            return "killed by signal " + std::to_string(WTERMSIG(run.waitStatus));
        }
        return "wait status " + std::to_string(run.waitStatus);
    }

    static std::string ExitedWith(int status) { return "exited with " + std::to_string(status); }
    static std::string KilledBy(int signalNumber)
    {
        return "killed by signal " + std::to_string(signalNumber);
    }

    PtyPair port;
    std::string scratchDirectory;
    std::deque<IrtickRun> runs;
};
