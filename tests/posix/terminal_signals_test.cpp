// Signals during key mode, in child processes whose controlling terminal is
// a pseudo-terminal of the test: the terminal is put back before a signal
// ends the process, and Ctrl+\ raises none.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "ending_signals.h"
#include "terminal_pty_pair.h"
#include "terminal_state.h"

namespace {

constexpr int kChildMilliseconds = 10000;
constexpr int kReadyMilliseconds = 5000;
constexpr char kReady = 'R';

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

}  // namespace
