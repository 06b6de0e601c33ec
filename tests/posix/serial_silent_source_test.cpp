// Sources that give nothing more read as a silent line: a pseudo-terminal
// whose far end closed, a read that keeps failing, a recorded file after
// its end, a FIFO whose writer left.  Each read waits out its time-outs
// instead of returning at once into a caller that reads in a loop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "serial_api.h"
#include "serial_pty_pair.h"
#include "serial_test_support.h"

namespace {

class SerialPtyTest : public PtyPairTest {};

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
