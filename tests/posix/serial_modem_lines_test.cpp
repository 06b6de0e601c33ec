// Which modem-line requests the serial calls make, and when.
//
// Pseudo-terminals have no modem lines, so this test executable puts its
// own ioctl() in front of the C library's: it records the line requests
// (and the line speed at that moment) and lets them succeed; every other
// request goes to the kernel unchanged.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <vector>

#include "serial_api.h"
#include "serial_pty_pair.h"

namespace {

struct LineCall {
    unsigned long request;
    int lines;
    speed_t speedAtCall;
    tcflag_t localFlagsAtCall;
};

std::vector<LineCall> lineCalls;
// When not 0, line requests fail with this errno.
int lineFailure = 0;

bool IsLineRequest(unsigned long request) {
    return request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (!IsLineRequest(request)) {
        return static_cast<int>(syscall(SYS_ioctl, fd, request, argument));
    }
    if (lineFailure != 0) {
        errno = lineFailure;
        return -1;
    }
    // tcgetattr does not come back here: the C library makes its own
    // system call.
    termios line{};
    tcgetattr(fd, &line);
    lineCalls.push_back(
        {request, *static_cast<int*>(argument), cfgetospeed(&line), line.c_lflag});
    return 0;
}

namespace {

class SerialModemLinesTest : public PtyPairTest {
protected:
    void SetUp() override {
        PtyPairTest::SetUp();
        lineCalls.clear();
        lineFailure = 0;
    }
    void TearDown() override {
        lineFailure = 0;
        PtyPairTest::TearDown();
    }
};

TEST_F(SerialModemLinesTest, ReceiverLineLowersBothLinesAtOnceAfterTheTermios) {
    ASSERT_TRUE(OpenWithReceiverLine()) << "errno " << GetLastError();
    ASSERT_EQ(lineCalls.size(), 1u);
    EXPECT_EQ(lineCalls[0].request, static_cast<unsigned long>(TIOCMBIC));
    EXPECT_EQ(lineCalls[0].lines, TIOCM_DTR | TIOCM_RTS);
    // The termios was in place when the lines went low.
    EXPECT_EQ(lineCalls[0].speedAtCall, static_cast<speed_t>(B57600));
    EXPECT_EQ(lineCalls[0].localFlagsAtCall, 0u);
}

TEST_F(SerialModemLinesTest, EscapeFunctionsDriveOneLineEach) {
    port = OpenSlave();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    struct EscapeCase {
        DWORD function;
        unsigned long request;
        int lines;
    };
    const EscapeCase cases[] = {
        {SETRTS, TIOCMBIS, TIOCM_RTS},
        {CLRRTS, TIOCMBIC, TIOCM_RTS},
        {SETDTR, TIOCMBIS, TIOCM_DTR},
        {CLRDTR, TIOCMBIC, TIOCM_DTR},
    };
    for (const EscapeCase& escapeCase : cases) {
        lineCalls.clear();
        EXPECT_TRUE(EscapeCommFunction(port, escapeCase.function));
        ASSERT_EQ(lineCalls.size(), 1u) << "function " << escapeCase.function;
        EXPECT_EQ(lineCalls[0].request, escapeCase.request) << "function " << escapeCase.function;
        EXPECT_EQ(lineCalls[0].lines, escapeCase.lines) << "function " << escapeCase.function;
    }

    lineCalls.clear();
    EXPECT_FALSE(EscapeCommFunction(port, 0));
    EXPECT_FALSE(EscapeCommFunction(port, 9));
    EXPECT_TRUE(lineCalls.empty());

    lineFailure = EIO;
    EXPECT_FALSE(EscapeCommFunction(port, SETDTR));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EIO));
}

// Closing moves no line: that is the caller's to do, and HUPCL is off.
TEST_F(SerialModemLinesTest, CloseLeavesTheLinesAlone) {
    ASSERT_TRUE(OpenWithReceiverLine());
    lineCalls.clear();
    EXPECT_TRUE(CloseHandle(port));
    port = nullptr;
    EXPECT_TRUE(lineCalls.empty());
}

}  // namespace
