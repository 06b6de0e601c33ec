// The terminal switched for the run on a pseudo-terminal, and put back.

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "terminal_pty_pair.h"
#include "ending_signals.h"
#include "terminal_state.h"

namespace {

constexpr int kArrivalMilliseconds = 2000;
// Long enough for an echo to come back if there were one.
constexpr int kQuietMilliseconds = 200;

class TerminalStateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenPtyPair(&pty)); }
    void TearDown() override
    {
        LeaveKeyMode();
        ClosePtyPair(&pty);
    }
    PtyPair pty;
};

// Settings a user might have before the run: the fresh cooked terminal,
// and one with unusual output and signal settings that must survive.
struct StartingSettings {
    const char* name;
    void (*adjust)(termios*);
};

const StartingSettings kStartingSettings[] = {
    {"cooked as opened", [](termios*) {}},
    {"unusual",
     [](termios* settings) {
         settings->c_iflag |= IXOFF | INLCR | ISTRIP | IXANY;
         settings->c_lflag |= ECHONL;
         settings->c_lflag &= ~static_cast<tcflag_t>(ISIG);
         settings->c_oflag &= ~static_cast<tcflag_t>(ONLCR);
         settings->c_cc[VMIN] = 5;
         settings->c_cc[VTIME] = 3;
         settings->c_cc[VINTR] = 0x18;
         cfsetispeed(settings, B9600);
         cfsetospeed(settings, B9600);
     }},
};

TEST_F(TerminalStateTest, OnlyTheInputSideChangesAndAllIsPutBackByteForByte)
{
    constexpr tcflag_t kInputOff = ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP;
    constexpr tcflag_t kLocalOff = ICANON | ECHO | ECHONL | IEXTEN;
    for (const StartingSettings& start : kStartingSettings) {
        SCOPED_TRACE(start.name);
        termios wanted = TerminalSettings(pty.slave);
        start.adjust(&wanted);
        ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &wanted), 0);
        const termios found = TerminalSettings(pty.slave);

        ASSERT_EQ(EnterKeyMode(pty.slave), 0);
        const termios run = TerminalSettings(pty.slave);
        EXPECT_EQ(run.c_iflag & kInputOff, 0u);
        EXPECT_EQ(run.c_lflag & kLocalOff, 0u);
        EXPECT_EQ(run.c_cc[VMIN], 1);
        EXPECT_EQ(run.c_cc[VTIME], 0);
        // Every other input and local flag as found: ISIG above all.
        EXPECT_EQ(run.c_iflag | kInputOff, found.c_iflag | kInputOff);
        EXPECT_EQ(run.c_lflag | kLocalOff, found.c_lflag | kLocalOff);
        EXPECT_EQ(run.c_lflag & ISIG, found.c_lflag & ISIG);
        // Output, line and speed untouched, the signal keys kept.
        EXPECT_EQ(run.c_oflag, found.c_oflag);
        EXPECT_EQ(run.c_cflag, found.c_cflag);
        EXPECT_EQ(cfgetospeed(&run), cfgetospeed(&found));
        EXPECT_EQ(cfgetispeed(&run), cfgetispeed(&found));
        EXPECT_EQ(run.c_cc[VINTR], found.c_cc[VINTR]);
        EXPECT_EQ(run.c_cc[VSUSP], found.c_cc[VSUSP]);
        // Ctrl+\ is a key: no quit character.
        EXPECT_EQ(run.c_cc[VQUIT], _POSIX_VDISABLE);

        LeaveKeyMode();
        EXPECT_TRUE(SameSettings(TerminalSettings(pty.slave), found));
        // Again: nothing more changes.
        LeaveKeyMode();
        EXPECT_TRUE(SameSettings(TerminalSettings(pty.slave), found));
    }
}

// What the user sees: keys arrive untranslated and unechoed, one at a time,
// Ctrl+S does not stop output, and a line feed still starts a new line.
TEST_F(TerminalStateTest, KeysArriveRawWhileOutputIsProcessedAsBefore)
{
    ASSERT_EQ(EnterKeyMode(pty.slave), 0);
    // Ctrl+Q before Ctrl+S: were XON/XOFF still on, output would now be
    // stopped.
    const std::string typed = "\r\x11q\x13\xc3\xa9";
    ASSERT_TRUE(WriteAll(pty.master, typed));
    EXPECT_EQ(ReadFor(pty.slave, typed.size(), kArrivalMilliseconds), typed);
    EXPECT_EQ(ReadFor(pty.master, 1, kQuietMilliseconds), "") << "keys were echoed";

    // Output after that Ctrl+S still flows, with the line end as found.
    ASSERT_TRUE(WriteAll(pty.slave, "211 \n"));
    EXPECT_EQ(ReadFor(pty.master, 6, kArrivalMilliseconds), "211 \r\n");
}

TEST_F(TerminalStateTest, NoTerminalNoKeyModeAndNoHandlers)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);
    EXPECT_EQ(EnterKeyMode(pipeEnds[0]), -1);
    struct sigaction interrupt {};
    sigaction(SIGINT, nullptr, &interrupt);
    EXPECT_EQ(interrupt.sa_handler, before.sa_handler);
    LeaveKeyMode();
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST_F(TerminalStateTest, HandlersOnlyDuringKeyModeAndIgnoredSignalsStayIgnored)
{
    // Key mode's own (job control), then the ending handlers.
    const int keyModeSignals[] = {SIGTSTP, SIGCONT};
    const int endingSignals[] = {SIGINT, SIGTERM, SIGQUIT, SIGXFSZ, SIGSEGV, SIGUSR1};
    const int handled[] = {SIGTSTP, SIGCONT, SIGINT, SIGTERM, SIGQUIT, SIGXFSZ, SIGSEGV, SIGUSR1};
    // The test may have been started with some of them ignored (a
    // background job of a shell without job control).
    struct sigaction previous[sizeof handled / sizeof handled[0]];
    for (size_t i = 0; i < sizeof handled / sizeof handled[0]; ++i) {
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigaction(handled[i], &byDefault, &previous[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousHangUp {};
    ASSERT_EQ(sigaction(SIGHUP, &ignore, &previousHangUp), 0);

    InstallEndingHandlers();
    ASSERT_EQ(EnterKeyMode(pty.slave), 0);
    for (const int signalNumber : handled) {
        struct sigaction current {};
        sigaction(signalNumber, nullptr, &current);
        EXPECT_NE(current.sa_handler, SIG_DFL) << signalNumber;
        EXPECT_NE(current.sa_handler, SIG_IGN) << signalNumber;
    }
    struct sigaction hangUp {};
    sigaction(SIGHUP, nullptr, &hangUp);
    EXPECT_EQ(hangUp.sa_handler, SIG_IGN);

    // A second terminal cannot take key mode while one has it.
    PtyPair other;
    ASSERT_TRUE(OpenPtyPair(&other));
    const termios otherFound = TerminalSettings(other.slave);
    EXPECT_EQ(EnterKeyMode(other.slave), -1);
    EXPECT_TRUE(SameSettings(TerminalSettings(other.slave), otherFound));
    ClosePtyPair(&other);

    LeaveKeyMode();
    for (const int signalNumber : keyModeSignals) {
        struct sigaction current {};
        sigaction(signalNumber, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signalNumber;
    }
    RemoveEndingHandlers();
    for (const int signalNumber : endingSignals) {
        struct sigaction current {};
        sigaction(signalNumber, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signalNumber;
    }
    sigaction(SIGHUP, nullptr, &hangUp);
    EXPECT_EQ(hangUp.sa_handler, SIG_IGN);
    sigaction(SIGHUP, &previousHangUp, nullptr);
    for (size_t i = 0; i < sizeof handled / sizeof handled[0]; ++i) {
        sigaction(handled[i], &previous[i], nullptr);
    }
}

}  // namespace
