// Signals during key mode, in child processes whose controlling terminal is
// a pseudo-terminal of the test: the terminal is put back before a signal
// ends the process, and around a suspension by Ctrl+Z.

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "terminal_pty_pair.h"
#include "ending_signals.h"
#include "terminal_state.h"

namespace {

constexpr int kChildMilliseconds = 10000;
constexpr int kReadyMilliseconds = 5000;
constexpr char kReady = 'R';

bool InKeyMode(const termios& settings)
{
    return (settings.c_lflag & (ICANON | ECHO)) == 0;
}

// In a child: a session of its own with the pseudo-terminal as its
// controlling terminal, as a terminal window gives a shell.
bool BecomeSessionOn(int terminal)
{
    return setsid() >= 0 && ioctl(terminal, TIOCSCTTY, 0) == 0;
}

// A child starts with the signals at their default actions, whatever the
// test process was started with.
void DefaultSignalActions()
{
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) signal(signalNumber, SIG_DFL);
}

void NoCoreDumps()
{
    // SIGQUIT's default action dumps core; the tests want only the status.
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

struct EndingCase {
    const char* name;
    int signalNumber;
    const char* typedKey;  // typed on the terminal; nullptr: sent with kill()
};

// Every signal whose default action ends the process, as the console
// prepares for a run: the ending handlers and key mode.
const EndingCase kEndingCases[] = {
    {"Ctrl+C typed", SIGINT, "\x03"},
    {"SIGINT sent", SIGINT, nullptr},
    {"SIGQUIT", SIGQUIT, nullptr},
    {"SIGTERM", SIGTERM, nullptr},
    {"SIGHUP", SIGHUP, nullptr},
    {"SIGXFSZ", SIGXFSZ, nullptr},
    {"SIGABRT", SIGABRT, nullptr},
    {"SIGSEGV", SIGSEGV, nullptr},
    {"SIGBUS", SIGBUS, nullptr},
    {"SIGFPE", SIGFPE, nullptr},
    {"SIGILL", SIGILL, nullptr},
    {"SIGALRM", SIGALRM, nullptr},
    {"SIGUSR1", SIGUSR1, nullptr},
    {"SIGUSR2", SIGUSR2, nullptr},
    {"SIGXCPU", SIGXCPU, nullptr},
    {"SIGVTALRM", SIGVTALRM, nullptr},
    {"SIGPROF", SIGPROF, nullptr},
    {"SIGPWR", SIGPWR, nullptr},
    {"SIGSYS", SIGSYS, nullptr},
    {"SIGTRAP", SIGTRAP, nullptr},
    {"SIGPOLL", SIGPOLL, nullptr},
    {"SIGSTKFLT", SIGSTKFLT, nullptr},
};

TEST(TerminalSignalsTest, EndingSignalPutsTheTerminalBackAndKeepsItsStatus)
{
    // The real-time signals end a process too; their numbers are known only
    // at run time.
    std::vector<EndingCase> endings(std::begin(kEndingCases), std::end(kEndingCases));
    endings.push_back({"SIGRTMIN", SIGRTMIN, nullptr});
    endings.push_back({"SIGRTMAX", SIGRTMAX, nullptr});
    for (const EndingCase& ending : endings) {
        SCOPED_TRACE(ending.name);
        PtyPair pty;
        ASSERT_TRUE(OpenPtyPair(&pty));
        const termios found = TerminalSettings(pty.slave);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            NoCoreDumps();
            DefaultSignalActions();
            if (!BecomeSessionOn(pty.slave)) _exit(1);
            InstallEndingHandlers();
            if (EnterKeyMode(pty.slave) != 0) _exit(1);
            if (write(ready[1], &kReady, 1) != 1) _exit(1);
            for (;;) pause();
        }
        close(ready[1]);
        ASSERT_TRUE(WaitReadable(ready[0], kReadyMilliseconds));
        EXPECT_TRUE(InKeyMode(TerminalSettings(pty.slave)));

        if (ending.typedKey != nullptr) {
            ASSERT_TRUE(WriteAll(pty.master, ending.typedKey));
        } else {
            ASSERT_EQ(kill(child, ending.signalNumber), 0);
        }
        int status = 0;
        ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
        EXPECT_TRUE(WIFSIGNALED(status)) << "status " << status;
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), ending.signalNumber);
        }
        EXPECT_TRUE(SameSettings(TerminalSettings(pty.slave), found));
        close(ready[0]);
        ClosePtyPair(&pty);
    }
}

// Ctrl+\ is a key in key mode: it raises no SIGQUIT and arrives as its
// byte, 28, as on a Windows console.  Ctrl+C stays the interrupt.
TEST(TerminalSignalsTest, CtrlBackslashIsAKeyNotAQuitSignal)
{
    PtyPair pty;
    ASSERT_TRUE(OpenPtyPair(&pty));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        NoCoreDumps();
        DefaultSignalActions();
        if (!BecomeSessionOn(pty.slave) || EnterKeyMode(pty.slave) != 0) _exit(1);
        if (write(ready[1], &kReady, 1) != 1) _exit(1);
        unsigned char key = 0;
        if (read(pty.slave, &key, 1) != 1) _exit(2);
        LeaveKeyMode();
        _exit(key);
    }
    close(ready[1]);
    ASSERT_TRUE(WaitReadable(ready[0], kReadyMilliseconds));
    ASSERT_TRUE(WriteAll(pty.master, "\x1c"));
    int status = 0;
    ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0x1c);
    close(ready[0]);
    ClosePtyPair(&pty);
}

// --- Suspension -------------------------------------------------------------
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
