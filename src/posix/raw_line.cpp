#include "raw_line.h"

#include <cerrno>
#include <cstring>

void MakeRawLine(termios* line, speed_t speed)
{
    line->c_iflag = 0;
    line->c_oflag = 0;
    line->c_lflag = 0;
    // CLOCAL: carrier detect neither blocks the open nor hangs the line up.
    // HUPCL stays off so that closing the line moves no modem line.
    line->c_cflag = CS8 | CREAD | CLOCAL;
    // With ICANON and ISIG off no special character acts; 0 disables the
    // rest on Linux.
    std::memset(line->c_cc, 0, sizeof line->c_cc);
    // VMIN 1: poll() on a terminal reports input only once VMIN bytes are
    // there, and every byte must be seen as it comes.
    line->c_cc[VMIN] = 1;
    line->c_cc[VTIME] = 0;
    cfsetispeed(line, speed);
    cfsetospeed(line, speed);
}

int ApplyRawLine(int fd, speed_t speed)
{
    termios line{};
    if (tcgetattr(fd, &line) != 0) return errno;
    MakeRawLine(&line, speed);
    if (tcsetattr(fd, TCSANOW, &line) != 0) return errno;
    return 0;
}
