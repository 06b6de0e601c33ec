// Suspension by Ctrl+Z during key mode, in child processes whose controlling
// terminal is a pseudo-terminal of the test: the terminal is put back while
// stopped and switched again in the foreground.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "ending_signals.h"
#include "terminal_pty_pair.h"
#include "terminal_state.h"

namespace {

constexpr int kChildMilliseconds = 10000;
constexpr char kReady = 'R';

//
// Ctrl+Z stops only a process in a job that a shell of the same session
// watches (the kernel drops it in an orphaned process group).  So a child
// plays the shell: it leads a session on the pseudo-terminal and runs a
// worker in a process group of its own, which takes key mode; the shell
// moves the terminal's foreground as fg and bg do.  The shell reports the
// first step that went wrong as its exit code.

enum ScriptStep {
    kScriptPassed = 0,
    kSessionFailed,
    kWorkerNotReady,
    kBackgroundStartChangedTerminal,
    kForegroundDidNotSwitch,
    kWorkerDidNotStop,
    kStoppedWithKeySettings,
    kBackgroundResumeSwitched,
    kForegroundResumeDidNotSwitch,
    kWorkerNotEndedBySignal,
    kEndedWithKeySettings,
};

const char* DescribeStep(int step)
{
    switch (step) {
    case kScriptPassed: return "passed";
    case kSessionFailed: return "could not set up the session";
    case kWorkerNotReady: return "worker did not report key mode";
    case kBackgroundStartChangedTerminal: return "key mode begun in the background changed the terminal";
    case kForegroundDidNotSwitch: return "continued in the foreground, the keys were not switched";
    case kWorkerDidNotStop: return "Ctrl+Z did not stop the worker";
    case kStoppedWithKeySettings: return "stopped, the terminal still had the run's settings";
    case kBackgroundResumeSwitched: return "continued in the background, the terminal was switched";
    case kForegroundResumeDidNotSwitch: return "back in the foreground, the keys were not switched again";
    case kWorkerNotEndedBySignal: return "SIGTERM did not end the worker";
    case kEndedWithKeySettings: return "ended, the terminal still had the run's settings";
    default: return "unknown step";
    }
}

void PauseMilliseconds(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool KeyModeWithin(int terminal, bool wanted, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 5) {
        if (InKeyMode(TerminalSettings(terminal)) == wanted) return true;
        PauseMilliseconds(5);
    }
    return false;
}

bool WorkerStoppedWithin(pid_t worker, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 5) {
        int status = 0;
        const pid_t done = waitpid(worker, &status, WNOHANG | WUNTRACED);
        if (done == worker) return WIFSTOPPED(status);
        PauseMilliseconds(5);
    }
    return false;
}

int RunWorker(int terminal, int ready)
{
    setpgid(0, 0);
    DefaultSignalActions();
    // Started in the background: key mode waits for the foreground.
    InstallEndingHandlers();
    if (EnterKeyMode(terminal) != 0) return 1;
    if (write(ready, &kReady, 1) != 1) return 1;
    for (;;) pause();
}

int RunShellScript(int terminal, int keyboard)
{
    constexpr int kStepMilliseconds = 3000;
    // How long the background worker is watched for a change that must not
    // come.
    constexpr int kWatchMilliseconds = 200;

    if (!BecomeSessionOn(terminal)) return kSessionFailed;
    // A shell hands the foreground around without being stopped for it.
    signal(SIGTTOU, SIG_IGN);
    const termios found = TerminalSettings(terminal);
    int ready[2];
    if (pipe(ready) != 0) return kSessionFailed;

    const pid_t worker = fork();
    if (worker < 0) return kSessionFailed;
    if (worker == 0) _exit(RunWorker(terminal, ready[1]));
    setpgid(worker, worker);

    auto fail = [&](ScriptStep failed) {
        kill(worker, SIGKILL);
        waitpid(worker, nullptr, 0);
        return failed;
    };
    if (!WaitReadable(ready[0], kStepMilliseconds)) return fail(kWorkerNotReady);
    PauseMilliseconds(kWatchMilliseconds);
    if (!SameSettings(TerminalSettings(terminal), found)) {
        return fail(kBackgroundStartChangedTerminal);
    }

    // fg
    tcsetpgrp(terminal, worker);
    kill(-worker, SIGCONT);
    if (!KeyModeWithin(terminal, true, kStepMilliseconds)) return fail(kForegroundDidNotSwitch);

    // Ctrl+Z, typed on the terminal.
    const char suspendKey = static_cast<char>(found.c_cc[VSUSP]);
    if (write(keyboard, &suspendKey, 1) != 1) return fail(kSessionFailed);
    if (!WorkerStoppedWithin(worker, kStepMilliseconds)) return fail(kWorkerDidNotStop);
    tcsetpgrp(terminal, getpgrp());
    if (!SameSettings(TerminalSettings(terminal), found)) return fail(kStoppedWithKeySettings);

    // bg
    kill(-worker, SIGCONT);
    PauseMilliseconds(kWatchMilliseconds);
    if (!SameSettings(TerminalSettings(terminal), found)) return fail(kBackgroundResumeSwitched);

    // fg
    tcsetpgrp(terminal, worker);
    kill(-worker, SIGCONT);
    if (!KeyModeWithin(terminal, true, kStepMilliseconds)) {
        return fail(kForegroundResumeDidNotSwitch);
    }

    kill(worker, SIGTERM);
    int status = 0;
    if (waitpid(worker, &status, 0) != worker || !WIFSIGNALED(status) ||
        WTERMSIG(status) != SIGTERM) {
        return kWorkerNotEndedBySignal;
    }
    tcsetpgrp(terminal, getpgrp());
    if (!SameSettings(TerminalSettings(terminal), found)) return kEndedWithKeySettings;
    return kScriptPassed;
}

TEST(TerminalSignalsTest, SuspendedWithTheTerminalAsFoundAndSwitchedAgainInTheForeground)
{
    PtyPair pty;
    ASSERT_TRUE(OpenPtyPair(&pty));
    const termios found = TerminalSettings(pty.slave);
    const pid_t shell = fork();
    ASSERT_GE(shell, 0);
    if (shell == 0) _exit(RunShellScript(pty.slave, pty.master));
    int status = 0;
    ASSERT_TRUE(WaitForChild(shell, 4 * kChildMilliseconds, &status));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), kScriptPassed) << DescribeStep(WEXITSTATUS(status));
    EXPECT_TRUE(SameSettings(TerminalSettings(pty.slave), found));
    ClosePtyPair(&pty);
}

}  // namespace
