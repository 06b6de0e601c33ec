// The console's keyboard through /dev/tty, in a child process whose
// controlling terminal is a pseudo-terminal of the test and whose standard
// input is a pipe that holds other bytes.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/console.h"
#include "terminal_pty_pair.h"

namespace {

constexpr int kChildMilliseconds = 10000;
constexpr int kKeyMilliseconds = 5000;
constexpr char kReady = 'R';

// In the child: polls as the monitor loop does and reports each key code
// as one byte (-1 as 0xFF) until `count` codes or no key for a while.
void ReportKeys(int report, size_t count)
{
    for (size_t reported = 0; reported < count;) {
        int waited = 0;
        while (!IsKeyWaiting() && waited < kKeyMilliseconds) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            waited += 5;
        }
        if (waited >= kKeyMilliseconds) return;
        const unsigned char code = static_cast<unsigned char>(ReadKey());
        if (write(report, &code, 1) != 1) return;
        ++reported;
    }
}

TEST(ConsoleKeyboardTest, KeysComeFromTheControllingTerminalNotStandardInput)
{
    PtyPair pty;
    ASSERT_TRUE(OpenPtyPair(&pty));
    const termios found = TerminalSettings(pty.slave);
    int input[2], output[2], report[2];
    ASSERT_EQ(pipe(input), 0);
    ASSERT_EQ(pipe(output), 0);
    ASSERT_EQ(pipe(report), 0);
    const std::string standardInput = "xyz\n";
    ASSERT_TRUE(WriteAll(input[1], standardInput));

    // Enter, Space, Up, F12 (two codes each), q.
    const std::vector<unsigned char> expected = {13, 32, 224, 72, 224, 134, 'q'};
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setsid() < 0 || ioctl(pty.slave, TIOCSCTTY, 0) != 0) _exit(1);
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        PrepareConsole();
        if (write(report[1], &kReady, 1) != 1) _exit(1);
        ReportKeys(report[1], expected.size());
        RestoreConsole();
        _exit(0);
    }
    close(report[1]);
    close(output[1]);
    ASSERT_EQ(ReadFor(report[0], 1, kChildMilliseconds), std::string(1, kReady));
    const termios run = TerminalSettings(pty.slave);
    EXPECT_EQ(run.c_lflag & (ICANON | ECHO), 0u);

    ASSERT_TRUE(WriteAll(pty.master, "\r \x1b[A\x1b[24~q"));
    const std::string codes = ReadFor(report[0], expected.size(), kChildMilliseconds);
    EXPECT_EQ(std::vector<unsigned char>(codes.begin(), codes.end()), expected);

    int status = 0;
    ASSERT_TRUE(WaitForChild(child, kChildMilliseconds, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(SameSettings(TerminalSettings(pty.slave), found));
    // Nothing was echoed, and standard input was left unread.
    EXPECT_EQ(ReadFor(pty.master, 1, 100), "");
    close(input[1]);
    EXPECT_EQ(ReadFor(input[0], standardInput.size() + 1, kChildMilliseconds), standardInput);
    for (int fd : {input[0], output[0], report[0]}) close(fd);
    ClosePtyPair(&pty);
}

}  // namespace
