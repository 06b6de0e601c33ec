// Opening and closing ports: the errors of a failed open, the requests
// that are refused, a terminal taken exclusively, the controlling terminal
// refused, and recorded streams (files, FIFOs) opened read-only and shared.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "serial_api.h"
#include "serial_pty_pair.h"
#include "serial_test_support.h"

namespace {

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

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

TEST(SerialOpenTest, RequestsBeyondTheReceiverPortsAreRefused) {
    TempDir dir;
    const std::string path = dir.File("capture.bin");
    ASSERT_TRUE(WriteBytes(path, {1, 2, 3}));
    const std::string devicePath = kDevicePathPrefix + path;
    constexpr DWORD kShareRead = 1;     // FILE_SHARE_READ
    constexpr DWORD kCreateAlways = 2;  // CREATE_ALWAYS
    struct RequestCase {
        const char* what;
        const char* name;
        DWORD access;
        DWORD share;
        DWORD disposition;
    };
    const RequestCase cases[] = {
        {"read access only", devicePath.c_str(), GENERIC_READ, 0, OPEN_EXISTING},
        {"write access only", devicePath.c_str(), GENERIC_WRITE, 0, OPEN_EXISTING},
        {"shared", devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareRead, OPEN_EXISTING},
        {"created", devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, kCreateAlways},
        {"no name", nullptr, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING},
    };
    for (const RequestCase& request : cases) {
        HANDLE port = CreateFileA(request.name, request.access, request.share, nullptr,
                                  request.disposition, 0, nullptr);
        EXPECT_EQ(port, INVALID_HANDLE_VALUE) << request.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL)) << request.what;
        if (port != INVALID_HANDLE_VALUE) {
            CloseHandle(port);
        }
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

// With the controlling terminal as the port its raw settings would take
// every key.  A child process with a session of its own and a fresh
// pseudo-terminal as its controlling terminal tries that terminal by its
// path and as /dev/tty; another pseudo-terminal still opens.  The exit
// status carries one bit per failed expectation.
TEST(SerialOpenTest, TheControllingTerminalIsRefusedWithEbusy) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int failures = 0;
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        const bool ready = master >= 0 && setsid() >= 0 && grantpt(master) == 0 &&
                           unlockpt(master) == 0 && ptsname(master) != nullptr;
        if (!ready) {
            _exit(0x80);
        }
        const std::string terminalPath = ptsname(master);
        // A session leader without a controlling terminal gets the first
        // terminal it opens without O_NOCTTY.
        const int terminal = open(terminalPath.c_str(), O_RDWR);
        if (terminal < 0 || tcgetsid(terminal) != getsid(0)) {
            _exit(0x40);
        }
        const std::string refused[] = {terminalPath, "/dev/tty"};
        for (size_t i = 0; i < 2; ++i) {
            HANDLE port = OpenPath(refused[i]);
            if (port != INVALID_HANDLE_VALUE || GetLastError() != EBUSY) {
                failures |= 1 << i;
            }
            if (port != INVALID_HANDLE_VALUE) {
                CloseHandle(port);
            }
        }
        const int otherMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (otherMaster < 0 || grantpt(otherMaster) != 0 || unlockpt(otherMaster) != 0) {
            _exit(0x20);
        }
        HANDLE other = OpenPath(ptsname(otherMaster));
        if (other == INVALID_HANDLE_VALUE || !CloseHandle(other)) {
            failures |= 4;
        }
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int failures = WEXITSTATUS(status);
    EXPECT_EQ(failures & 0xE0, 0) << "the child could not set up its terminal";
    EXPECT_EQ(failures & 1, 0) << "the controlling terminal by its path was opened";
    EXPECT_EQ(failures & 2, 0) << "/dev/tty was opened";
    EXPECT_EQ(failures & 4, 0) << "another pseudo-terminal was refused";
}

// A recorded stream is only ever read: opened read-only (so a 0444 file,
// even for root, is opened without write access) and without the lock, so
// another program's lock and a second replay of the same file both work.
TEST(SerialOpenTest, RecordingsOpenReadOnlyAndShared) {
    TempDir dir;
    struct RecordingCase {
        const char* what;
        bool (*make)(const std::string& path);
    };
    const RecordingCase cases[] = {
        {"regular file", [](const std::string& p) { return WriteBytes(p, {1, 2}); }},
        {"read-only file",
         [](const std::string& p) { return WriteBytes(p, {1, 2}) && chmod(p.c_str(), 0444) == 0; }},
        {"FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; }},
    };
    int index = 0;
    for (const RecordingCase& recording : cases) {
        SCOPED_TRACE(recording.what);
        const std::string path = dir.File(("recording" + std::to_string(index++)).c_str());
        ASSERT_TRUE(recording.make(path));

        HANDLE first = OpenPath(path);
        ASSERT_NE(first, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
        const int fd = DescriptorOpenOn(path);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(fcntl(fd, F_GETFL) & O_ACCMODE, O_RDONLY);

        HANDLE second = OpenPath(path);
        EXPECT_NE(second, INVALID_HANDLE_VALUE) << "errno " << GetLastError();
        const int outside = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(outside, 0);
        EXPECT_EQ(flock(outside, LOCK_EX | LOCK_NB), 0) << "errno " << errno;
        close(outside);

        EXPECT_TRUE(CloseHandle(first));
        if (second != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(second));
        }
    }
}

// A terminal device keeps the exclusive read-write open.
TEST_F(SerialPtyTest, TerminalOpensForReadingAndWriting) {
    port = OpenSlave();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    const int fd = DescriptorOpenOn(slavePath);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_ACCMODE, O_RDWR);
}

}  // namespace
