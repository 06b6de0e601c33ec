// The read contract on pseudo-terminal pairs, files and FIFOs: when a read
// ends under the three read time-outs, and that a source which gives
// nothing more (a closed far end, the end of a file, a read that keeps
// failing) reads as a silent line instead of spinning.
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

// The far end of the pseudo-terminal closes: the device has gone away.
// The read must neither return at once nor spin; it reads as a silent line.
TEST_F(SerialPtyTest, DeviceGoneReadsAsASilentLine) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(kInterval, kMultiplier, kConstant);
    CloseMaster();
    for (int i = 0; i < 3; ++i) {
        TimedRead read = ReadTimed(port, kReceiverRequest);
        EXPECT_TRUE(read.result);
        EXPECT_TRUE(read.bytes.empty());
        EXPECT_GE(read.elapsedMs, kReceiverTotalMs - 1);
        EXPECT_LT(read.elapsedMs, kSlowMachineMs);
        EXPECT_LT(read.cpuMs, 50) << "the read spun on the processor";
    }
    EXPECT_TRUE(CloseHandle(port));
    port = nullptr;
}

// A read that keeps failing with an error other than a hang-up, whatever
// the error, waits out the time-outs as a silent line instead of returning
// at once into a caller that reads in a loop.  The descriptor behind a
// file's handle is replaced by one whose every read fails.
TEST(SerialReadTest, ReadsThatKeepFailingWaitOutTheTimeouts) {
    TempDir dir;
    const std::string path = dir.File("capture.bin");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    struct FailureCase {
        const char* what;
        // Makes every read of `fd` fail; false if it could not.
        bool (*spoil)(int fd, const std::string& dirPath);
    };
    const FailureCase cases[] = {
        {"a directory (EISDIR)",
         [](int fd, const std::string& d) {
             const int other = open(d.c_str(), O_RDONLY | O_DIRECTORY);
             return other >= 0 && dup2(other, fd) == fd && close(other) == 0;
         }},
        {"a write-only descriptor (EBADF)",
         [](int fd, const std::string& d) {
             const int other = open((d + "/out").c_str(), O_WRONLY | O_CREAT, 0600);
             return other >= 0 && dup2(other, fd) == fd && close(other) == 0;
         }},
        {"a closed descriptor (EBADF, POLLNVAL)", [](int fd, const std::string&) {
             return close(fd) == 0;
         }},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.what);
        HANDLE port = OpenPath(path);
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
        COMMTIMEOUTS timeouts{kInterval, kMultiplier, kConstant, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
        const int fd = DescriptorOpenOn(path);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(failure.spoil(fd, dir.File("")));
        for (int i = 0; i < 2; ++i) {
            TimedRead read = ReadTimed(port, kReceiverRequest);
            EXPECT_TRUE(read.result);
            EXPECT_TRUE(read.bytes.empty());
            EXPECT_GE(read.elapsedMs, kReceiverTotalMs - 1) << "the read returned at once";
            EXPECT_LT(read.elapsedMs, kSlowMachineMs);
            EXPECT_LT(read.cpuMs, 50) << "the read spun on the processor";
        }
        CloseHandle(port);
    }
}

// --- Files and FIFOs -------------------------------------------------------

TEST(SerialFileTest, RecordedFileReplaysThenReadsAsASilentLine) {
    TempDir dir;
    const std::string path = dir.File("capture.bin");
    const Bytes recorded = Sequence(200, 40);  // wraps past 255 to 0..
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(recorded.data(), 1, recorded.size(), file), recorded.size());
    std::fclose(file);

    HANDLE port = OpenPath(path);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
    // A file has no line: the line calls fail and the caller goes on.
    DCB dcb{};
    EXPECT_FALSE(GetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOTTY));
    dcb.BaudRate = 57600;
    dcb.ByteSize = 8;
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_FALSE(EscapeCommFunction(port, SETRTS));
    COMMTIMEOUTS timeouts{kInterval, kMultiplier, kConstant, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));

    TimedRead first = ReadTimed(port, kReceiverRequest);
    // A second replay of the same file at the same time reads it from its
    // own start.
    HANDLE second = OpenPath(path);
    ASSERT_NE(second, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
    ASSERT_TRUE(SetCommTimeouts(second, &timeouts));
    EXPECT_EQ(ReadTimed(second, kReceiverRequest).bytes,
              Bytes(recorded.begin(), recorded.begin() + 16));
    EXPECT_TRUE(CloseHandle(second));
    TimedRead middle = ReadTimed(port, kReceiverRequest);
    TimedRead last = ReadTimed(port, kReceiverRequest);
    EXPECT_EQ(first.bytes, Bytes(recorded.begin(), recorded.begin() + 16));
    EXPECT_EQ(middle.bytes, Bytes(recorded.begin() + 16, recorded.begin() + 32));
    EXPECT_EQ(last.bytes, Bytes(recorded.begin() + 32, recorded.end()));
    EXPECT_LT(first.elapsedMs, kSlowMachineMs);
    // End of file after 8 bytes: they come after the interval, as from a
    // line that fell silent.
    EXPECT_GE(last.elapsedMs, kInterval);
    EXPECT_LT(last.elapsedMs, kSlowMachineMs);

    for (int i = 0; i < 2; ++i) {
        TimedRead atEnd = ReadTimed(port, kReceiverRequest);
        EXPECT_TRUE(atEnd.result);
        EXPECT_TRUE(atEnd.bytes.empty());
        EXPECT_GE(atEnd.elapsedMs, kReceiverTotalMs - 1);
        EXPECT_LT(atEnd.elapsedMs, kSlowMachineMs);
        EXPECT_LT(atEnd.cpuMs, 50);
    }
    EXPECT_TRUE(CloseHandle(port));
}

TEST(SerialFileTest, FifoOpensAndDeliversWhatIsWritten) {
    TempDir dir;
    const std::string path = dir.File("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    HANDLE port = OpenPath(path);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
    COMMTIMEOUTS timeouts{kInterval, kMultiplier, kConstant, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));

    int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const Bytes sent = {0, 13, 10, 255};
    ASSERT_EQ(write(writer, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    close(writer);

    TimedRead read = ReadTimed(port, kReceiverRequest);
    EXPECT_EQ(read.bytes, sent);
    TimedRead silent = ReadTimed(port, kReceiverRequest);
    EXPECT_TRUE(silent.bytes.empty());
    EXPECT_GE(silent.elapsedMs, kReceiverTotalMs - 1);
    EXPECT_LT(silent.cpuMs, 50);
    EXPECT_TRUE(CloseHandle(port));
}

}  // namespace
