// The serial calls on pseudo-terminal pairs, regular files and FIFOs: the
// open and its exclusivity, the line settings, and the read contract.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "serial_api.h"
#include "serial_pty_pair.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr DWORD kReceiverRequest = 16;
// The receiver port's read time-outs: 20 ms interval, 2 ms per byte + 100.
constexpr DWORD kInterval = 20;
constexpr DWORD kMultiplier = 2;
constexpr DWORD kConstant = 100;
constexpr int64_t kReceiverTotalMs = 132;
// Upper bound for anything that should end "at once" or at a short
// time-out, generous enough for a loaded machine.
constexpr int64_t kSlowMachineMs = 1000;

int64_t ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

using Clock = std::chrono::steady_clock;

int64_t MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

struct TimedRead {
    BOOL result;
    Bytes bytes;
    int64_t elapsedMs;
    int64_t cpuMs;
    Clock::time_point finishedAt;
};

TimedRead ReadTimed(HANDLE port, DWORD bytesToRead) {
    TimedRead read{};
    std::vector<unsigned char> buffer(bytesToRead + 1, 0xEE);
    DWORD count = 12345;
    const int64_t cpuStart = ThreadCpuMilliseconds();
    const Clock::time_point start = Clock::now();
    read.result = ReadFile(port, buffer.data(), bytesToRead, &count, nullptr);
    read.finishedAt = Clock::now();
    read.elapsedMs = MillisecondsBetween(start, read.finishedAt);
    read.cpuMs = ThreadCpuMilliseconds() - cpuStart;
    EXPECT_LE(count, bytesToRead);
    EXPECT_EQ(buffer[bytesToRead], 0xEE) << "wrote past the requested bytes";
    read.bytes.assign(buffer.begin(), buffer.begin() + std::min(count, bytesToRead));
    return read;
}

Bytes Sequence(int first, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<unsigned char>(first + i));
    }
    return bytes;
}

// A private temporary folder, removed with its files at the end.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/irtick_serial_XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path_ = made != nullptr ? made : "/tmp";
    }
    ~TempDir() {
        std::string command = "rm -rf '" + path_ + "'";
        if (std::system(command.c_str()) != 0) {
            std::perror("rm");
        }
    }
    std::string File(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

HANDLE OpenPath(const std::string& path) {
    return CreateFileA(("\\\\.\\" + path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// --- Opening ---------------------------------------------------------------

TEST(SerialOpenTest, FailedOpensGiveTheCauseAsErrno) {
    TempDir dir;
    struct OpenCase {
        std::string path;
        DWORD error;
    };
    const OpenCase cases[] = {
        {dir.File("nothere"), ENOENT},           // 2
        {dir.File("a/b"), ENOENT},
        {std::string(300, 'x'), ENAMETOOLONG},   // 36
        {dir.File(""), EISDIR},
    };
    for (const OpenCase& openCase : cases) {
        HANDLE port = OpenPath(openCase.path);
        EXPECT_EQ(port, INVALID_HANDLE_VALUE) << openCase.path;
        EXPECT_EQ(GetLastError(), openCase.error) << openCase.path;
        if (port != INVALID_HANDLE_VALUE) {
            CloseHandle(port);
        }
    }
}

TEST(SerialOpenTest, BadHandlesAreRefused) {
    for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        DCB dcb{};
        COMMTIMEOUTS timeouts{};
        unsigned char buffer[4];
        DWORD count = 7;
        EXPECT_FALSE(GetCommState(bad, &dcb));
        EXPECT_FALSE(SetCommState(bad, &dcb));
        EXPECT_FALSE(GetCommTimeouts(bad, &timeouts));
        EXPECT_FALSE(SetCommTimeouts(bad, &timeouts));
        EXPECT_FALSE(SetCommMask(bad, 0));
        EXPECT_FALSE(EscapeCommFunction(bad, SETRTS));
        EXPECT_FALSE(ReadFile(bad, buffer, sizeof buffer, &count, nullptr));
        EXPECT_EQ(count, 0u);
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
    }
}

class SerialPtyTest : public PtyPairTest {};

TEST_F(SerialPtyTest, SecondOpenIsRefusedUntilTheFirstCloses) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);

    HANDLE second = OpenSlave();
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    // flock gives EWOULDBLOCK; TIOCEXCL gives EBUSY to anyone but root.
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == EWOULDBLOCK || error == EBUSY) << "errno " << error;

    // The refused open took nothing away from the first.
    SetTimeouts(kInterval, kMultiplier, kConstant);
    Send({42});
    TimedRead read = ReadTimed(port, kReceiverRequest);
    EXPECT_EQ(read.bytes, Bytes{42});

    EXPECT_TRUE(CloseHandle(port));
    port = OpenSlave();
    EXPECT_NE(port, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
}

// TIOCEXCL keeps out programs that take no flock; root passes it, so as
// root the mark itself is checked.  It must be taken back on close: on a
// pseudo-terminal whose master stays open it would otherwise lock the
// next opener out.
TEST_F(SerialPtyTest, TerminalIsExclusiveWhileOpen) {
    port = OpenSlave();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);

    int other = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (geteuid() != 0) {
        EXPECT_LT(other, 0);
        EXPECT_EQ(errno, EBUSY);
    } else {
        ASSERT_GE(other, 0);
        int exclusive = 0;
        ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1);
        close(other);
    }

    ASSERT_TRUE(CloseHandle(port));
    port = nullptr;
    other = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0) << "errno " << errno;
    int exclusive = 1;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(other);
}

// --- Line settings ---------------------------------------------------------

// Leaves the slave as a previous program might have: canonical, echoing,
// translating, stripping, with flow control and two stop bits.
void MakeHostile(const std::string& slavePath) {
    int fd = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios line{};
    ASSERT_EQ(tcgetattr(fd, &line), 0);
    line.c_iflag |= IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK | INPCK | BRKINT | IXANY;
    line.c_oflag |= OPOST | ONLCR;
    line.c_lflag |= ICANON | ECHO | ECHONL | ISIG | IEXTEN;
    line.c_cflag |= CRTSCTS | CSTOPB | HUPCL;
    line.c_cflag &= ~CLOCAL;
    line.c_cc[VMIN] = 5;
    line.c_cc[VTIME] = 3;
    cfsetispeed(&line, B9600);
    cfsetospeed(&line, B9600);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &line), 0);
    close(fd);
}

termios SlaveTermios(const std::string& slavePath) {
    termios line{};
    int fd = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(tcgetattr(fd, &line), 0);
    close(fd);
    return line;
}

bool SlaveHasModemLines(const std::string& slavePath) {
    int fd = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int lines = 0;
    bool has = fd >= 0 && ioctl(fd, TIOCMGET, &lines) == 0;
    close(fd);
    return has;
}

TEST_F(SerialPtyTest, ReceiverLineIsRawFromAHostileStart) {
    MakeHostile(slavePath);
    port = OpenSlave();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);

    DCB before{};
    ASSERT_TRUE(GetCommState(port, &before));
    EXPECT_EQ(before.BaudRate, 9600u);
    EXPECT_EQ(before.StopBits, TWOSTOPBITS);
    EXPECT_EQ(before.fOutxCtsFlow, 1u);
    EXPECT_EQ(before.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(before.fOutX, 1u);
    EXPECT_EQ(before.fInX, 1u);
    EXPECT_EQ(before.fParity, 1u);

    DCB dcb = before;
    SetReceiverLine(dcb);
    BOOL applied = SetCommState(port, &dcb);
    // A pseudo-terminal has no modem lines to lower; then, and only then,
    // the call reports that part as failed, after applying the termios.
    if (SlaveHasModemLines(slavePath)) {
        EXPECT_TRUE(applied) << "errno " << GetLastError();
    } else {
        EXPECT_FALSE(applied);
    }

    termios line = SlaveTermios(slavePath);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B57600));
    EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B57600));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(line.c_iflag, 0u);
    EXPECT_EQ(line.c_oflag, 0u);
    EXPECT_EQ(line.c_lflag, 0u);
    EXPECT_EQ(line.c_cc[VMIN], 1);
    EXPECT_EQ(line.c_cc[VTIME], 0);

    DCB after{};
    ASSERT_TRUE(GetCommState(port, &after));
    EXPECT_EQ(after.BaudRate, 57600u);
    EXPECT_EQ(after.ByteSize, 8);
    EXPECT_EQ(after.Parity, NOPARITY);
    EXPECT_EQ(after.StopBits, ONESTOPBIT);
    EXPECT_EQ(after.fBinary, 1u);
    EXPECT_EQ(after.fParity, 0u);
    EXPECT_EQ(after.fOutxCtsFlow, 0u);
    EXPECT_EQ(after.fOutX, 0u);
    EXPECT_EQ(after.fInX, 0u);
    EXPECT_EQ(after.XonChar, before.XonChar);
    EXPECT_EQ(after.XoffChar, before.XoffChar);
}

// Every byte value arrives as sent, in order: none is translated,
// stripped, marked, taken as a control character or dropped.
TEST_F(SerialPtyTest, EveryByteValueIsDeliveredUnchanged) {
    MakeHostile(slavePath);
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(kInterval, kMultiplier, kConstant);

    const Bytes special = {0x00, 0x0D, 0x0A, 0x11, 0x13, 0x7F, 0xFF, 0x03, 0x04, 0x1A};
    Send(special);
    TimedRead first = ReadTimed(port, kReceiverRequest);
    EXPECT_TRUE(first.result);
    EXPECT_EQ(first.bytes, special);

    const Bytes all = Sequence(0, 256);
    Send(all);
    Bytes received;
    for (int reads = 0; reads < 40 && received.size() < all.size(); ++reads) {
        TimedRead read = ReadTimed(port, kReceiverRequest);
        received.insert(received.end(), read.bytes.begin(), read.bytes.end());
    }
    EXPECT_EQ(received, all);
}

TEST_F(SerialPtyTest, UnusableLineSettingsAreRefusedAndLeaveTheLineAlone) {
    ASSERT_TRUE(OpenWithReceiverLine() || !SlaveHasModemLines(slavePath));
    const termios original = SlaveTermios(slavePath);

    DCB good{};
    ASSERT_TRUE(GetCommState(port, &good));
    SetReceiverLine(good);
    struct DcbCase {
        const char* what;
        void (*change)(DCB&);
    };
    const DcbCase cases[] = {
        {"rate outside the table", [](DCB& d) { d.BaudRate = 12345; }},
        {"rate 0", [](DCB& d) { d.BaudRate = 0; }},
        {"9 data bits", [](DCB& d) { d.ByteSize = 9; }},
        {"4 data bits", [](DCB& d) { d.ByteSize = 4; }},
        {"parity 5", [](DCB& d) { d.Parity = 5; }},
        {"stop bits 3", [](DCB& d) { d.StopBits = 3; }},
        {"1.5 stop bits with 8 data bits", [](DCB& d) { d.StopBits = 1; }},
        {"DSR flow control", [](DCB& d) { d.fOutxDsrFlow = 1; }},
        {"DSR sensitivity", [](DCB& d) { d.fDsrSensitivity = 1; }},
        {"DTR handshake", [](DCB& d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }},
        {"RTS toggle", [](DCB& d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }},
        {"null stripping", [](DCB& d) { d.fNull = 1; }},
    };
    for (const DcbCase& dcbCase : cases) {
        DCB dcb = good;
        dcbCase.change(dcb);
        EXPECT_FALSE(SetCommState(port, &dcb)) << dcbCase.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL)) << dcbCase.what;
    }
    // 7 data bits pass the checks, but a pseudo-terminal keeps 8: the
    // read-back catches it and puts the old settings back.
    DCB sevenBits = good;
    sevenBits.ByteSize = 7;
    sevenBits.BaudRate = 9600;
    EXPECT_FALSE(SetCommState(port, &sevenBits));

    // A refused setting leaves the line exactly as it was.
    termios line = SlaveTermios(slavePath);
    EXPECT_EQ(line.c_cflag, original.c_cflag);
    EXPECT_EQ(line.c_iflag, original.c_iflag);
    EXPECT_EQ(cfgetospeed(&line), cfgetospeed(&original));
}

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
    {"interval MAXDWORD, totals 0: what is waiting, at once", {MAXDWORD, 0, 0, 0, 0},
     3, 16, 3, 0, kSlowMachineMs},
    {"interval MAXDWORD, totals 0, nothing waiting: at once", {MAXDWORD, 0, 0, 0, 0},
     0, 16, 0, 0, kSlowMachineMs},
    {"interval and multiplier MAXDWORD: the waiting bytes at once",
     {MAXDWORD, MAXDWORD, 5000, 0, 0}, 3, 16, 3, 0, kSlowMachineMs},
    {"interval and multiplier MAXDWORD, silence: the constant",
     {MAXDWORD, MAXDWORD, 150, 0, 0}, 0, 16, 0, 149, kSlowMachineMs},
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
        COMMTIMEOUTS drain{MAXDWORD, 0, 0, 0, 0};
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

TEST_F(SerialPtyTest, FirstBytesEndAReadWithMaxdwordIntervalAndMultiplier) {
    OpenWithReceiverLine();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(MAXDWORD, MAXDWORD, 5000);
    LateSender sender(master);
    sender.SendAfter(100, {7, 8});
    TimedRead read = ReadTimed(port, kReceiverRequest);
    EXPECT_EQ(read.bytes, (Bytes{7, 8}));
    EXPECT_GE(MillisecondsBetween(sender.startedAt, read.finishedAt), 100);
    EXPECT_LT(read.elapsedMs, 2500);
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

    HANDLE second = OpenPath(path);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EWOULDBLOCK));

    TimedRead first = ReadTimed(port, kReceiverRequest);
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
