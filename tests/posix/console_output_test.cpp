// PrintText on standard output, in child processes whose standard output is
// a pipe or a pseudo-terminal.  Each child starts a session of its own, so
// it has no controlling terminal and its console has no keyboard.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include <string>

#include "app/console.h"
#include "terminal_pty_pair.h"

namespace {

constexpr int kChildMilliseconds = 10000;
constexpr int kArrivalMilliseconds = 3000;
// Long enough for buffered output to show if it were not held back.
constexpr int kQuietMilliseconds = 200;
constexpr char kSignal = 'S';

// A text longer than any fixed formatting buffer would hold.
std::string LongText()
{
    std::string text;
    for (int i = 0; text.size() < 3000; ++i) text += std::to_string(i) + ",";
    return text;
}

// The child's side: standard output on `output`, no controlling terminal,
// and a stdout stream that has not been used yet, as in a new process (the
// test's own stream has printed already, and the buffering of a stream can
// only be chosen before its first output).
void BecomeConsoleChild(int output)
{
    setsid();
    dup2(output, STDOUT_FILENO);
    stdout = fdopen(STDOUT_FILENO, "w");
    if (stdout == nullptr) _exit(92);
}

void Tell(int fd)
{
    if (write(fd, &kSignal, 1) != 1) _exit(90);
}

void AwaitWord(int fd)
{
    char word = 0;
    if (read(fd, &word, 1) != 1) _exit(91);
}

void PrintMonitorFields(const std::string& longText)
{
    PrintText("%3i ", 211);
    PrintText("  %5i ", 18 * 64);
    PrintText("%c", 0);
    PrintText("%c", 0xE9);
    PrintText("\nNEC Code: %08X\n", 0xBA45FF00u);
    PrintText("%s", longText.c_str());
}

std::string MonitorFieldsAsWritten(const std::string& longText, const char* lineEnd)
{
    return std::string("211    1152 ") + std::string(1, '\0') + "\xe9" + lineEnd +
           "NEC Code: BA45FF00" + lineEnd + longText;
}

TEST(ConsoleOutputTest, ToAPipeHeldBackUntilTheConsoleIsRestored)
{
    const std::string longText = LongText();
    int output[2], printed[2], proceed[2];
    ASSERT_EQ(pipe(output), 0);
    ASSERT_EQ(pipe(printed), 0);
    ASSERT_EQ(pipe(proceed), 0);
    fflush(stdout);  // nothing of the test's own output goes to the child
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        BecomeConsoleChild(output[1]);
        PrepareConsole();
        PrintMonitorFields(longText);
        Tell(printed[1]);
        AwaitWord(proceed[0]);
        RestoreConsole();
        RestoreConsole();
        _exit(0);
    }
    close(output[1]);
    ASSERT_TRUE(WaitReadable(printed[0], kChildMilliseconds));
    EXPECT_EQ(ReadFor(output[0], 1, kQuietMilliseconds), "") << "not fully buffered";
    Tell(proceed[1]);
    const std::string expected = MonitorFieldsAsWritten(longText, "\n");
    EXPECT_EQ(ReadFor(output[0], expected.size() + 1, kArrivalMilliseconds), expected);
    int status = 0;
    ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    for (int fd : {output[0], printed[0], printed[1], proceed[0], proceed[1]}) close(fd);
}

// --- Held output and the signals that end a run ---------------------------

enum class Ending { kSentByTest, kAbort, kNullWrite, kStackOverflow };

struct SignalEndingCase {
    const char* name;
    int signalNumber;
    Ending how;
};

const SignalEndingCase kSignalEndings[] = {
    {"SIGINT", SIGINT, Ending::kSentByTest},
    {"SIGTERM", SIGTERM, Ending::kSentByTest},
    {"SIGHUP", SIGHUP, Ending::kSentByTest},
    {"SIGQUIT", SIGQUIT, Ending::kSentByTest},
    {"SIGUSR1", SIGUSR1, Ending::kSentByTest},
    {"SIGALRM", SIGALRM, Ending::kSentByTest},
    {"abort()", SIGABRT, Ending::kAbort},
    {"null pointer write", SIGSEGV, Ending::kNullWrite},
    {"stack overflow", SIGSEGV, Ending::kStackOverflow},
};

// Deeper than any stack: it overflows long before the bound.
int Recurse(int depth)
{
    constexpr int kDeeperThanAnyStack = 1 << 30;
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth > kDeeperThanAnyStack) return frame[0];
    return Recurse(depth + 1) + frame[0];
}

[[noreturn]] void EndAs(Ending how)
{
    switch (how) {
    case Ending::kAbort: abort();
    case Ending::kNullWrite: {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        break;
    }
    case Ending::kStackOverflow: Recurse(0); break;
    case Ending::kSentByTest: break;
    }
    for (;;) pause();
}

// Fields of one kind printed one by one, more than the held buffer takes,
// so that some were written out already and the rest is held.
std::string ManyFields()
{
    std::string fields;
    for (int i = 0; fields.size() < 20000; ++i) fields += std::to_string(i % 256) + " ";
    return fields;
}

TEST(ConsoleOutputTest, ToAPipeNothingPrintedIsLostWhenASignalEndsTheRun)
{
    const std::string fields = ManyFields();
    for (const SignalEndingCase& ending : kSignalEndings) {
        SCOPED_TRACE(ending.name);
        int output[2], printed[2];
        ASSERT_EQ(pipe(output), 0);
        ASSERT_EQ(pipe(printed), 0);
        fflush(stdout);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            NoCoreDumps();
            DefaultSignalActions();
            BecomeConsoleChild(output[1]);
            PrepareConsole();
            for (size_t at = 0; at < fields.size();) {
                const size_t end = fields.find(' ', at) + 1;
                PrintText("%s", fields.substr(at, end - at).c_str());
                at = end;
            }
            Tell(printed[1]);
            EndAs(ending.how);
        }
        close(output[1]);
        close(printed[1]);
        ASSERT_TRUE(WaitReadable(printed[0], kChildMilliseconds));
        if (ending.how == Ending::kSentByTest) {
            ASSERT_EQ(kill(child, ending.signalNumber), 0);
        }
        EXPECT_EQ(ReadFor(output[0], fields.size() + 1, kArrivalMilliseconds), fields);
        int status = 0;
        ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == ending.signalNumber)
            << "status " << status;
        close(output[0]);
        close(printed[0]);
    }
}

TEST(ConsoleOutputTest, ToATerminalEachPrintIsOutBeforeItReturns)
{
    const std::string longText = LongText();
    PtyPair pty;
    ASSERT_TRUE(OpenPtyPair(&pty));
    int printed[2], proceed[2];
    ASSERT_EQ(pipe(printed), 0);
    ASSERT_EQ(pipe(proceed), 0);
    fflush(stdout);  // nothing of the test's own output goes to the child
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        BecomeConsoleChild(pty.slave);
        PrepareConsole();
        PrintText("%3i ", 35);
        Tell(printed[1]);
        AwaitWord(proceed[0]);
        PrintMonitorFields(longText);
        Tell(printed[1]);
        AwaitWord(proceed[0]);
        RestoreConsole();
        _exit(0);
    }
    // One field, with the child still running and holding it nowhere.
    ASSERT_TRUE(WaitReadable(printed[0], kChildMilliseconds));
    EXPECT_EQ(ReadFor(pty.master, 4, kArrivalMilliseconds), " 35 ");
    Tell(proceed[1]);
    // All of it, the long text whole; the terminal's own line ends.
    const std::string expected = MonitorFieldsAsWritten(longText, "\r\n");
    EXPECT_EQ(ReadFor(pty.master, expected.size(), kArrivalMilliseconds), expected);
    ASSERT_TRUE(WaitReadable(printed[0], kChildMilliseconds));
    Tell(proceed[1]);
    int status = 0;
    ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    for (int fd : {printed[0], printed[1], proceed[0], proceed[1]}) close(fd);
    ClosePtyPair(&pty);
}

TEST(ConsoleOutputTest, ClosedPipeDoesNotEndTheRun)
{
    constexpr int kCarriedOn = 7;
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    close(output[0]);  // the reader has gone (irtick | head -c 40)
    fflush(stdout);  // nothing of the test's own output goes to the child
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        BecomeConsoleChild(output[1]);
        PrepareConsole();
        // Enough to fill the buffer several times over.
        for (int i = 0; i < 20000; ++i) PrintText("%3i ", i % 256);
        RestoreConsole();
        _exit(kCarriedOn);
    }
    close(output[1]);
    int status = 0;
    ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
    EXPECT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kCarriedOn) << "status " << status;
}

TEST(ConsoleOutputTest, WithoutATerminalNoKeyIsEverWaiting)
{
    constexpr int kNoKeys = 0;
    constexpr int kKeyFound = 1;
    const int nowhere = open("/dev/null", O_WRONLY);
    ASSERT_GE(nowhere, 0);
    fflush(stdout);  // nothing of the test's own output goes to the child
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        BecomeConsoleChild(nowhere);
        PrepareConsole();
        const bool keyWaiting = IsKeyWaiting();
        const int key = ReadKey();
        RestoreConsole();
        RestoreConsole();
        _exit(!keyWaiting && key == -1 ? kNoKeys : kKeyFound);
    }
    close(nowhere);
    int status = 0;
    ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kNoKeys) << "status " << status;
}

}  // namespace
