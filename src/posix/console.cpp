// The console services on a POSIX terminal: output on standard output,
// keys from the controlling terminal.

#include "app/console.h"
#include "app/formatted_text.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "key_reader.h"
#include "terminal_state.h"

namespace {

// Keys come from the controlling terminal, never from standard input, so a
// redirected standard input changes nothing.  A new open file description:
// O_NONBLOCK here does not reach the shell's descriptors.
constexpr const char* kKeyboardDevice = "/dev/tty";
constexpr int kKeyboardOpenFlags = O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;

// Output to a file or pipe is held here and written out when it fills and
// when the console is restored (or the process ends normally).  A buffer of
// our own, so that its size does not depend on the file's block size.
constexpr size_t kOutputBufferSize = 8192;
char outputBuffer[kOutputBufferSize];

enum OutputKind { kOutputNotChosen, kOutputToTerminal, kOutputBuffered };

OutputKind outputKind = kOutputNotChosen;
int keyboardFd = -1;

// Chosen before the first output: setvbuf must come before any I/O.
void ChooseOutputKind()
{
    if (outputKind != kOutputNotChosen) return;
    if (isatty(STDOUT_FILENO)) {
        // Written with write() directly, nothing held in stdio.
        outputKind = kOutputToTerminal;
    } else {
        setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
        outputKind = kOutputBuffered;
    }
}

// Writes the whole text with one write() where the terminal takes it,
// going on after partial writes and interruptions.  Failures end the
// attempt silently.
void WriteWhole(const char* text, size_t length)
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

void PrintText(const char* format, ...)
{
    ChooseOutputKind();
    char shortText[kShortTextSize];
    va_list arguments;
    va_start(arguments, format);
    FormattedText formatted = FormatText(shortText, sizeof shortText, format, arguments);
    va_end(arguments);
    if (formatted.text == nullptr) return;
    if (outputKind == kOutputToTerminal) {
        WriteWhole(formatted.text, formatted.length);
    } else {
        fwrite(formatted.text, 1, formatted.length, stdout);
    }
    ReleaseFormattedText(&formatted);
}

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
    IgnoreBrokenPipe();
    ChooseOutputKind();
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
    fflush(stdout);
    if (keyboardFd < 0) return;
    LeaveKeyMode();
    ForgetPendingKeys();
    close(keyboardFd);
    keyboardFd = -1;
}
