// The console services on a POSIX terminal: output on standard output,
// keys from the controlling terminal.

#include "app/console.h"
#include "app/console_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "ending_signals.h"
#include "key_reader.h"
#include "terminal_state.h"

namespace {

// Keys come from the controlling terminal, never from standard input, so a
// redirected standard input changes nothing.  A new open file description:
// O_NONBLOCK here does not reach the shell's descriptors.
constexpr const char* kKeyboardDevice = "/dev/tty";
constexpr int kKeyboardOpenFlags = O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;

int keyboardFd = -1;

// Standard input, output and error.
constexpr int kStandardDescriptors[] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
constexpr const char* kNullDevice = "/dev/null";

// Started with one of them closed (irtick -p/dev/pts/5 <&- >&-), the next
// open would take its number: /dev/tty would become standard input and the
// port standard output, and the display would go out on the serial line.
// Each closed one gets /dev/null, before anything else is opened.
void TakeStandardDescriptors()
{
    for (const int fd : kStandardDescriptors) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // open gives the lowest free number: this one, as the lower ones
        // are taken already.
        const int opened = open(kNullDevice, fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) close(opened);
    }
}

void IgnoreBrokenPipe()
{
    // A reader that goes away (irtick | head -c 40) must not end the run;
    // the write fails with EPIPE instead, and failed prints are ignored.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace

// One write() where the file takes it all, going on after partial writes
// and interruptions.  write() and poll() are async-signal-safe.
void WriteStandardOutput(const char* text, size_t length)
{
    while (length > 0) {
        const ssize_t written = write(STDOUT_FILENO, text, length);
        if (written > 0) {
            text += written;
            length -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Another program left the terminal's shared description
            // non-blocking: wait as a blocking write would.
            pollfd writable{STDOUT_FILENO, POLLOUT, 0};
            if (poll(&writable, 1, -1) >= 0 || errno == EINTR) continue;
        }
        return;
    }
}

bool IsStandardOutputInteractive() { return isatty(STDOUT_FILENO) != 0; }

bool IsKeyWaiting()
{
    return IsKeyWaitingOn(keyboardFd);
}

int ReadKey()
{
    return ReadKeyFrom(keyboardFd);
}

void PrepareConsole()
{
    TakeStandardDescriptors();
    IgnoreBrokenPipe();
    ChooseOutputMode();
    InstallEndingHandlers();
    if (keyboardFd >= 0) return;
    // No terminal (a service, cron, CI): no key is ever waiting.
    const int fd = open(kKeyboardDevice, kKeyboardOpenFlags);
    if (fd < 0) return;
    if (EnterKeyMode(fd) != 0) {
        // Without single keys unechoed the terminal gives no usable keys
        // (Enter would arrive as 10 after a whole line): no keyboard.
        close(fd);
        return;
    }
    ForgetPendingKeys();
    keyboardFd = fd;
}

void RestoreConsole()
{
    WriteOutHeldOutput();
    if (keyboardFd >= 0) {
        LeaveKeyMode();
        ForgetPendingKeys();
        close(keyboardFd);
        keyboardFd = -1;
    }
    RemoveEndingHandlers();
}
