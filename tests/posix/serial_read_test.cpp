// The read contract on pseudo-terminal pairs: when a read ends under the
// three read time-outs, also while signals arrive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "serial_api.h"
#include "serial_pty_pair.h"
#include "serial_test_support.h"

namespace {

class SerialPtyTest : public PtyPairTest {};

TEST_F(SerialPtyTest, TimeoutsBelongToTheHandle) {
    port = OpenSlave();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS set{1, 2, 3, 4, 5};
    ASSERT_TRUE(SetCommTimeouts(port, &set));
    COMMTIMEOUTS got{};
    ASSERT_TRUE(GetCommTimeouts(port, &got));
    EXPECT_EQ(got.ReadIntervalTimeout, 1u);
    EXPECT_EQ(got.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(got.ReadTotalTimeoutConstant, 3u);
    EXPECT_EQ(got.WriteTotalTimeoutMultiplier, 4u);
    EXPECT_EQ(got.WriteTotalTimeoutConstant, 5u);
    // Win32's MAXDWORD interval modes are not made.
    COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(port, &atOnce));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
    ASSERT_TRUE(GetCommTimeouts(port, &got));
    EXPECT_EQ(got.ReadIntervalTimeout, 1u);
    EXPECT_TRUE(SetCommMask(port, 0));
    EXPECT_FALSE(EscapeCommFunction(port, 99));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
}

// --- Reads -----------------------------------------------------------------

struct ReadCase {
    const char* what;
    COMMTIMEOUTS timeouts;
    int waiting;  // bytes sent before the read
    DWORD request;
    size_t expected;
    int64_t atLeastMs;
    int64_t belowMs;
};

const ReadCase kReadCases[] = {
    {"receiver: 16 waiting end the read at once", {kInterval, kMultiplier, kConstant, 0, 0},
     20, 16, 16, 0, kSlowMachineMs},
    {"long total: 16 waiting end the read at once", {kInterval, kMultiplier, 5000, 0, 0},
     20, 16, 16, 0, kSlowMachineMs},
    {"receiver: 5 then silence end after the interval", {kInterval, kMultiplier, kConstant, 0, 0},
     5, 16, 5, kInterval, kSlowMachineMs},
    {"long total: 5 then silence end after the interval, not the total",
     {kInterval, kMultiplier, 5000, 0, 0}, 5, 16, 5, kInterval, kSlowMachineMs},
    {"receiver: silence ends the read at the total", {kInterval, kMultiplier, kConstant, 0, 0},
     0, 16, 0, kReceiverTotalMs - 1, kSlowMachineMs},
    {"the multiplier counts the requested bytes", {kInterval, 10, 100, 0, 0},
     0, 16, 0, 259, 2000},
    {"no interval: 5 waiting wait for the total", {0, 0, 150, 0, 0},
     5, 16, 5, 149, kSlowMachineMs},
};

TEST_F(SerialPtyTest, ReadEndsAsTheTimeoutsSay) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    for (const ReadCase& readCase : kReadCases) {
        SCOPED_TRACE(readCase.what);
        COMMTIMEOUTS timeouts = readCase.timeouts;
        ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
        const Bytes sent = Sequence(1, readCase.waiting);
        Send(sent);
        TimedRead read = ReadTimed(port, readCase.request);
        EXPECT_TRUE(read.result);
        EXPECT_EQ(read.bytes, Bytes(sent.begin(), sent.begin() + readCase.expected));
        EXPECT_GE(read.elapsedMs, readCase.atLeastMs);
        EXPECT_LT(read.elapsedMs, readCase.belowMs);
        // Take what this case left, so the next starts on a quiet line.
        COMMTIMEOUTS drain{5, 0, 50, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(port, &drain));
        ReadTimed(port, 64);
    }
}

// Sends bytes from another thread while a read runs.  Delays count from
// startedAt, taken before the thread starts, so "not before" bounds hold
// however late the read itself begins.
class LateSender {
public:
    explicit LateSender(int master) : master_(master) {}
    ~LateSender() { Stop(); }
    void SendAfter(int delayMs, Bytes bytes) {
        startedAt = Clock::now();
        thread_ = std::thread([this, delayMs, bytes] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            if (write(master_, bytes.data(), bytes.size()) < 0) {
                std::perror("write");
            }
        });
    }
    // One byte every `everyMs` until stopped.
    void Stream(int everyMs) {
        startedAt = Clock::now();
        thread_ = std::thread([this, everyMs] {
            unsigned char value = 0;
            while (!stop_) {
                if (write(master_, &value, 1) < 0) {
                    std::perror("write");
                }
                ++value;
                std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
            }
        });
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    Clock::time_point startedAt;

private:
    int master_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(SerialPtyTest, IntervalCountsFromTheLastByte) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(400, 0, 10000);
    Send({1, 2, 3});
    LateSender sender(master);
    sender.SendAfter(150, {4, 5});
    TimedRead read = ReadTimed(port, kReceiverRequest);
    EXPECT_EQ(read.bytes, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_GE(MillisecondsBetween(sender.startedAt, read.finishedAt), 150 + 400);
    EXPECT_LT(read.elapsedMs, 5000);
}

TEST_F(SerialPtyTest, TotalCountsFromTheStartWhileBytesKeepComing) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(0, 0, 300);
    LateSender sender(master);
    sender.Stream(10);
    TimedRead read = ReadTimed(port, 4000);
    sender.Stop();
    EXPECT_FALSE(read.bytes.empty());
    EXPECT_LT(read.bytes.size(), 4000u);
    EXPECT_GE(read.elapsedMs, 299);
    EXPECT_LT(read.elapsedMs, 2000);
}

TEST_F(SerialPtyTest, WithoutTimeoutsTheReadWaitsForAllBytes) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(0, 0, 0);
    LateSender sender(master);
    sender.SendAfter(100, {7, 8, 9, 10});
    TimedRead read = ReadTimed(port, 4);
    EXPECT_EQ(read.bytes, (Bytes{7, 8, 9, 10}));
    EXPECT_GE(MillisecondsBetween(sender.startedAt, read.finishedAt), 100);
}
void IgnoreSignal(int) {}

// Signals arriving during a read or a Sleep shorten neither.
TEST_F(SerialPtyTest, SignalsDoNotCutWaitsShort) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(kInterval, kMultiplier, kConstant);

    struct sigaction action{};
    action.sa_handler = IgnoreSignal;  // no SA_RESTART: calls get EINTR
    struct sigaction previous{};
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    itimerval every5ms{{0, 5000}, {0, 5000}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every5ms, nullptr), 0);

    TimedRead read = ReadTimed(port, kReceiverRequest);
    const Clock::time_point start = Clock::now();
    Sleep(150);
    const int64_t sleptMs = MillisecondsBetween(start, Clock::now());

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);

    EXPECT_TRUE(read.result);
    EXPECT_TRUE(read.bytes.empty());
    EXPECT_GE(read.elapsedMs, kReceiverTotalMs - 1);
    EXPECT_LT(read.elapsedMs, kSlowMachineMs);
    EXPECT_GE(sleptMs, 150);
}

}  // namespace
