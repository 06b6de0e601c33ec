// The key reader on a pseudo-terminal: keys typed on the master side are
// read on the slave side, switched as for a run.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "key_reader.h"
#include "terminal_pty_pair.h"
#include "terminal_state.h"

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class KeyReaderTerminalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A reader that blocks where it must not ends the test process
        // instead of hanging the run.
        alarm(kHangGuardSeconds);
        ASSERT_TRUE(OpenPtyPair(&pty));
        // The slave is left blocking: the reader must not rely on
        // O_NONBLOCK to stay clear of waiting.
        const termios keys = MakeKeyModeSettings(TerminalSettings(pty.slave));
        ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &keys), 0);
        ForgetPendingKeys();
    }

    void TearDown() override
    {
        ForgetPendingKeys();
        ClosePtyPair(&pty);
        alarm(0);
    }

    void Type(const std::string& keys)
    {
        ASSERT_TRUE(WriteAll(pty.master, keys));
        // The bytes reach the slave side a moment later.
        ASSERT_TRUE(WaitReadable(pty.slave, kArrivalMilliseconds));
    }

    // Polls the way the monitor loop does, until a key is waiting.
    bool KeyWaitingWithin(int milliseconds)
    {
        const Clock::time_point start = Clock::now();
        while (MillisecondsSince(start) < milliseconds) {
            if (IsKeyWaitingOn(pty.slave)) return true;
            usleep(2000);
        }
        return false;
    }

    static constexpr unsigned kHangGuardSeconds = 20;
    static constexpr int kArrivalMilliseconds = 2000;
    PtyPair pty;
};

TEST_F(KeyReaderTerminalTest, ReadsEachKeyWholeInTheOrderTyped)
{
    Type("\r \x1b[Ax\xc3\xa9\x1b[24~\x1bOP");
    const std::vector<int> expected = {13, 32, 224, 72, 'x', 0xC3, 224, 134, 0, 59};
    std::vector<int> read;
    for (size_t i = 0; i < expected.size() && KeyWaitingWithin(kArrivalMilliseconds); ++i) {
        read.push_back(ReadKeyFrom(pty.slave));
    }
    EXPECT_EQ(read, expected);
    EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
}

TEST_F(KeyReaderTerminalTest, KeyTestConsumesNothing)
{
    Type("q");
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(IsKeyWaitingOn(pty.slave));
    EXPECT_EQ(ReadKeyFrom(pty.slave), 'q');
    EXPECT_FALSE(IsKeyWaitingOn(pty.slave));

    // The held second code counts as a waiting key and survives key tests.
    Type("\x1b[5~");
    ASSERT_TRUE(KeyWaitingWithin(kArrivalMilliseconds));
    EXPECT_EQ(ReadKeyFrom(pty.slave), 224);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsKeyWaitingOn(pty.slave));
    EXPECT_EQ(ReadKeyFrom(pty.slave), 73);
    EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
}

TEST_F(KeyReaderTerminalTest, KeyTestNeverWaits)
{
    // Nothing typed: false at once, again and again.
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
    EXPECT_LT(MillisecondsSince(start), 1000);

    // The start of a key: the first key test takes the bytes and says "no
    // key yet".  Had it waited out the rest wait, it would have taken the
    // bytes as they stand and said Escape is waiting, so a false here shows
    // it did not wait, however loaded the machine.
    for (const char* begun : {"\x1b", "\x1b[", "\x1b[1;5", "\x1b[<0;10", "\x1bP>|"}) {
        SCOPED_TRACE(begun);
        Type(begun);
        EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
        ForgetPendingKeys();
    }
}

// Mouse reports, focus events and terminal replies are no key presses:
// they are dropped, never counted, and the key after them is read.
TEST_F(KeyReaderTerminalTest, InputThatIsNoKeyNeverCounts)
{
    const std::vector<std::vector<std::string>> inputs = {
        {"\x1b[<0;10;10M\x1b[<0;10;10m"},
        {"\x1b[M !!"},
        {"\x1b[I", "\x1b[O"},
        {"\x1b[?1;2c\x1b[12;40R"},
        {"\x1b]11;rgb:ffff/ffff/ffff\x1b\\"},
        // Split across arrivals as a busy terminal may send it.
        {"\x1b[<35;1", "2;7M"},
        {"\x1b[M", " ", "!!"},
    };
    // Longer than the rest wait: a begun report that was taken as Escape
    // after it would show here.
    constexpr int kWatchMilliseconds = 3 * kKeyRestWaitMilliseconds;
    for (const std::vector<std::string>& arrivals : inputs) {
        SCOPED_TRACE(arrivals.front());
        for (const std::string& arrival : arrivals) {
            Type(arrival);
            EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
        }
        EXPECT_FALSE(KeyWaitingWithin(kWatchMilliseconds));
        Type("q");
        ASSERT_TRUE(KeyWaitingWithin(kArrivalMilliseconds));
        EXPECT_EQ(ReadKeyFrom(pty.slave), 'q');
        EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
    }
}

// A key read with only no-key input pending drops it and reads the key
// that follows.
TEST_F(KeyReaderTerminalTest, KeyReadPassesOverInputThatIsNoKey)
{
    Type("\x1b[I\x1b[<0;1;1Mx");
    EXPECT_EQ(ReadKeyFrom(pty.slave), 'x');
    EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
}

TEST_F(KeyReaderTerminalTest, SequenceSplitAcrossArrivalsIsReadWhole)
{
    struct SplitCase {
        const char* name;
        std::vector<std::string> arrivals;
        std::vector<int> codes;
    };
    const SplitCase cases[] = {
        {"arrow", {"\x1b[", "A"}, {224, 72}},
        {"escape alone first", {"\x1b", "OS"}, {0, 62}},
        {"modifier form in pieces", {"\x1b", "[1;", "5", "D"}, {224, 75}},
        {"F12 number", {"\x1b[2", "4~"}, {224, 134}},
        {"three-byte character", {"\xe2", "\x82\xac"}, {0xE2}},
        {"four-byte character", {"\xf0\x9f", "\x98", "\x80"}, {0xF0}},
    };
    for (const SplitCase& split : cases) {
        SCOPED_TRACE(split.name);
        // Each arrival is taken in by a key test before the next comes; the
        // key counts once it is whole.
        for (size_t i = 0; i < split.arrivals.size(); ++i) {
            Type(split.arrivals[i]);
            EXPECT_EQ(IsKeyWaitingOn(pty.slave), i + 1 == split.arrivals.size()) << i;
        }
        for (const int code : split.codes) EXPECT_EQ(ReadKeyFrom(pty.slave), code);
        EXPECT_FALSE(IsKeyWaitingOn(pty.slave)) << "bytes of the key left behind";
    }
}

TEST_F(KeyReaderTerminalTest, RestArrivingDuringTheKeyReadIsWaitedFor)
{
    Type("\x1b[");
    ASSERT_FALSE(IsKeyWaitingOn(pty.slave));
    // The rest is in the terminal but not yet taken: the key read takes it.
    Type("B");
    EXPECT_EQ(ReadKeyFrom(pty.slave), 224);
    EXPECT_EQ(ReadKeyFrom(pty.slave), 80);
    EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
}

TEST_F(KeyReaderTerminalTest, LoneEscapeIsEscapeAfterAShortWait)
{
    // Polled as the monitor loop does: Escape counts once the rest wait is
    // over, and the key read then gives it at once.
    Type("\x1b");
    const Clock::time_point start = Clock::now();
    ASSERT_FALSE(IsKeyWaitingOn(pty.slave));
    ASSERT_TRUE(KeyWaitingWithin(kArrivalMilliseconds));
    EXPECT_GE(MillisecondsSince(start), kKeyRestWaitMilliseconds - 5);
    EXPECT_EQ(ReadKeyFrom(pty.slave), 27);
    EXPECT_FALSE(IsKeyWaitingOn(pty.slave));

    // Read without a key test first, the key read waits out the rest wait.
    Type("\x1b");
    const Clock::time_point readStart = Clock::now();
    EXPECT_EQ(ReadKeyFrom(pty.slave), 27);
    const long elapsed = MillisecondsSince(readStart);
    EXPECT_GE(elapsed, kKeyRestWaitMilliseconds - 5);
    EXPECT_LT(elapsed, 1000);
    EXPECT_FALSE(IsKeyWaitingOn(pty.slave));

    // A key typed later is a key of its own.
    Type("[");
    ASSERT_TRUE(IsKeyWaitingOn(pty.slave));
    EXPECT_EQ(ReadKeyFrom(pty.slave), '[');
}

TEST_F(KeyReaderTerminalTest, MoreKeysThanThePendingRoomAreAllRead)
{
    const std::string typed(600, 'k');
    Type(typed + "\r");
    size_t letters = 0;
    int code = 0;
    while (KeyWaitingWithin(kArrivalMilliseconds) && (code = ReadKeyFrom(pty.slave)) == 'k') {
        ++letters;
    }
    EXPECT_EQ(letters, typed.size());
    EXPECT_EQ(code, 13);
}

TEST_F(KeyReaderTerminalTest, HungUpTerminalGivesNoKeysAndFailsTheKeyRead)
{
    Type("a");
    ASSERT_TRUE(IsKeyWaitingOn(pty.slave));
    EXPECT_EQ(ReadKeyFrom(pty.slave), 'a');
    close(pty.master);
    pty.master = -1;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(IsKeyWaitingOn(pty.slave));
    EXPECT_EQ(ReadKeyFrom(pty.slave), -1);
    EXPECT_LT(MillisecondsSince(start), 1000);
}

TEST(KeyReaderWithoutTerminalTest, NoKeyAndReadFails)
{
    ForgetPendingKeys();
    EXPECT_FALSE(IsKeyWaitingOn(-1));
    EXPECT_EQ(ReadKeyFrom(-1), -1);
}

}  // namespace
