#include "terminal_pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

bool OpenPtyPair(PtyPair* pair)
{
    pair->master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pair->master < 0) return false;
    if (grantpt(pair->master) != 0 || unlockpt(pair->master) != 0) return false;
    const char* name = ptsname(pair->master);
    if (name == nullptr) return false;
    pair->slaveName = name;
    pair->slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    return pair->slave >= 0;
}

void ClosePtyPair(PtyPair* pair)
{
    if (pair->slave >= 0) close(pair->slave);
    if (pair->master >= 0) close(pair->master);
    pair->slave = -1;
    pair->master = -1;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

std::string ReadFor(int fd, size_t wanted, int milliseconds)
{
    std::string text;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (text.size() < wanted) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd readable{fd, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

bool WaitReadable(int fd, int milliseconds)
{
    pollfd readable{fd, POLLIN, 0};
    return poll(&readable, 1, milliseconds) > 0;
}

termios TerminalSettings(int fd)
{
    termios settings;
    std::memset(&settings, 0, sizeof settings);
    tcgetattr(fd, &settings);
    return settings;
}

bool SameSettings(const termios& first, const termios& second)
{
    return std::memcmp(&first, &second, sizeof first) == 0;
}

bool WaitForChild(pid_t child, int milliseconds, int* status)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const pid_t done = waitpid(child, status, WNOHANG);
        if (done == child) return true;
        if (done < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= end) {
            kill(child, SIGKILL);
            waitpid(child, status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool InKeyMode(const termios& settings)
{
    return (settings.c_lflag & (ICANON | ECHO)) == 0;
}

bool BecomeSessionOn(int terminal)
{
    return setsid() >= 0 && ioctl(terminal, TIOCSCTTY, 0) == 0;
}

void DefaultSignalActions()
{
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) signal(signalNumber, SIG_DFL);
}

void NoCoreDumps()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}
