// The README's demo: tools/demo.sh starts irtick on the simulated remote in
// the user's terminal; a key ends irtick, and the simulator ends with it.

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e_fixture.h"

namespace {

// Long enough for the demo's first NEC button with its repeats and the
// first Sony button on a loaded machine.
constexpr int kDemoOutputTimeoutMs = 15000;

// The demo runs inside a shell that stays a while after it, as the user's
// shell would: while the session's leader lives, nothing else would end a
// simulator that the demo left behind.
constexpr const char* kShellAroundDemo =
    "bash \"$0\" \"$1\"; status=$?; sleep 3; exit $status";

// Simulators still running in the session that the harness made.
int SimulatorsInSession(pid_t session)
{
    int count = 0;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return -1;
    while (dirent* entry = readdir(proc)) {
        const int pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
        // Fields after the command name, which ends with the last ')':
        // state, ppid, pgrp, session.
        const size_t nameEnd = stat.rfind(')');
        if (nameEnd == std::string::npos || stat.find("(irtick-sim)") == std::string::npos) continue;
        char state = 0;
        int parent = 0, group = 0, sessionId = 0;
        if (std::sscanf(stat.c_str() + nameEnd + 1, " %c %d %d %d", &state, &parent, &group,
                        &sessionId) == 4 &&
            sessionId == session && state != 'Z') {
            ++count;
        }
    }
    closedir(proc);
    return count;
}

TEST_F(IrtickE2eTest, DemoDecodesTheSimulatedRemoteAndEndsWithTheSimulator)
{
    IrtickLaunch launch;
    // The harness puts irtick's path after the prefix; the demo takes only
    // the build folder and finds both programs there.
    launch.commandPrefix = {"bash", "-c", kShellAroundDemo, IRTICK_SOURCE_DIR "/tools/demo.sh",
                            IRTICK_BUILD_DIR};
    IrtickRun* run = Start(launch);
    ASSERT_NE(run, nullptr);

    EXPECT_TRUE(ReadTerminalUntil(run, "NEC Code: BA45FF00", kDemoOutputTimeoutMs))
        << Printable(run->output);
    EXPECT_TRUE(ReadTerminalUntil(run, "Rpt ", kDemoOutputTimeoutMs)) << Printable(run->output);
    EXPECT_TRUE(ReadTerminalUntil(run, "Sony Code: ", kDemoOutputTimeoutMs))
        << Printable(run->output);

    ASSERT_GT(SimulatorsInSession(run->leaderPid), 0) << "no simulator found to watch";
    ASSERT_TRUE(TypeKeys(run, "q"));
    EXPECT_TRUE(WaitFor(nullptr, [&] { return SimulatorsInSession(run->leaderPid) == 0; }, 2000))
        << "the simulator outlived the demo";
    ASSERT_TRUE(WaitForExit(run, kExitTimeoutMs)) << Printable(run->output);
    EXPECT_EQ(DescribeEnd(*run), "exited with 0");
}

}  // namespace
