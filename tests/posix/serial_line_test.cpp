// The line settings on pseudo-terminal pairs: the receiver's raw line from
// any starting state, every byte value delivered unchanged, and a clear
// refusal of every other line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "serial_api.h"
#include "serial_pty_pair.h"
#include "serial_test_support.h"

namespace {

class SerialPtyTest : public PtyPairTest {};


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

    // 9600 baud with two stop bits is no line this layer makes.
    DCB before{};
    ASSERT_TRUE(GetCommState(port, &before));
    EXPECT_EQ(before.DCBlength, sizeof before);
    EXPECT_EQ(before.BaudRate, 0u);
    EXPECT_EQ(before.ByteSize, 0);

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
    // What GetCommState read is what SetCommState takes again.
    EXPECT_TRUE(SetCommState(port, &after) || !SlaveHasModemLines(slavePath));
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

// Any line but the receiver's is refused before anything is changed.  The
// values are Win32's (ODDPARITY 1, TWOSTOPBITS 2, DTR_CONTROL_ENABLE 1,
// RTS_CONTROL_HANDSHAKE 2, RTS_CONTROL_TOGGLE 3).
TEST_F(SerialPtyTest, OtherLinesAreRefusedAndLeaveTheLineAlone) {
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
        {"another rate", [](DCB& d) { d.BaudRate = 9600; }},
        {"7 data bits", [](DCB& d) { d.ByteSize = 7; }},
        {"odd parity", [](DCB& d) { d.Parity = 1; }},
        {"two stop bits", [](DCB& d) { d.StopBits = 2; }},
        {"parity checking", [](DCB& d) { d.fParity = 1; }},
        {"CTS flow control", [](DCB& d) { d.fOutxCtsFlow = 1; }},
        {"DSR flow control", [](DCB& d) { d.fOutxDsrFlow = 1; }},
        {"DTR enabled", [](DCB& d) { d.fDtrControl = 1; }},
        {"RTS handshake", [](DCB& d) { d.fRtsControl = 2; }},
        {"RTS toggle", [](DCB& d) { d.fRtsControl = 3; }},
        {"XON/XOFF on output", [](DCB& d) { d.fOutX = 1; }},
        {"XON/XOFF on input", [](DCB& d) { d.fInX = 1; }},
        {"null stripping", [](DCB& d) { d.fNull = 1; }},
    };
    for (const DcbCase& dcbCase : cases) {
        DCB dcb = good;
        dcbCase.change(dcb);
        EXPECT_FALSE(SetCommState(port, &dcb)) << dcbCase.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL)) << dcbCase.what;
    }
    EXPECT_FALSE(SetCommState(port, nullptr));

    // A refused setting leaves the line exactly as it was.
    termios line = SlaveTermios(slavePath);
    EXPECT_EQ(line.c_cflag, original.c_cflag);
    EXPECT_EQ(line.c_iflag, original.c_iflag);
    EXPECT_EQ(cfgetospeed(&line), cfgetospeed(&original));
}

}  // namespace
