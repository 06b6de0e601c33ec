/* A library for LD_PRELOAD that records how a program drives the modem
 * control lines and when it applies terminal settings.
 *
 * Pseudo-terminals have no RTS or DTR, so the end-to-end tests cannot watch
 * the lines themselves; they watch the requests instead.  Each TIOCMBIS,
 * TIOCMBIC and TIOCMSET ioctl, each TCSETS-family ioctl and each tcsetattr
 * call is appended as one line to the file named by IRTICK_MODEM_LOG:
 *
 *     <CLOCK_MONOTONIC in ms> <request> <path of the descriptor> <value>
 *
 * where <request> is MBIS, MBIC, MSET or TERMIOS and <value> is the line
 * bits (TIOCM_*) for the first three and 0 for TERMIOS.  The real call is
 * made afterwards and its result returned unchanged.
 *
 * The program under test may restore its terminal from a signal handler, so
 * the recording sticks to calls that are safe there: no stdio, no malloc,
 * the real functions looked up once at load time. */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

typedef int (*IoctlFunction)(int, unsigned long, ...);
typedef int (*TcsetattrFunction)(int, int, const struct termios*);

static IoctlFunction realIoctl;
static TcsetattrFunction realTcsetattr;
static char logPath[4096];

__attribute__((constructor)) static void LoadModemLog(void)
{
    realIoctl = (IoctlFunction)dlsym(RTLD_NEXT, "ioctl");
    realTcsetattr = (TcsetattrFunction)dlsym(RTLD_NEXT, "tcsetattr");
    const char* path = getenv("IRTICK_MODEM_LOG");
    if (path != NULL && strlen(path) < sizeof logPath) strcpy(logPath, path);
}

/* Appends the decimal form of value; returns the new end. */
static char* AppendNumber(char* out, unsigned long long value)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *out++ = digits[--count];
    return out;
}

static char* AppendText(char* out, const char* text)
{
    while (*text != '\0') *out++ = *text++;
    return out;
}

static void RecordCall(const char* request, int fd, unsigned long long value)
{
    if (logPath[0] == '\0') return;
    const int savedErrno = errno;

    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);

    /* The descriptor's path, so the tests can tell the port from the
     * terminal. */
    char link[64];
    char* end = AppendText(link, "/proc/self/fd/");
    end = AppendNumber(end, (unsigned long long)(fd < 0 ? 0 : fd));
    *end = '\0';
    char target[1024];
    ssize_t targetLength = readlink(link, target, sizeof target - 1);
    if (targetLength <= 0) {
        strcpy(target, "?");
        targetLength = 1;
    }
    target[targetLength] = '\0';

    char line[1200];
    end = AppendNumber(line, (unsigned long long)now.tv_sec * 1000u +
                                 (unsigned long long)now.tv_nsec / 1000000u);
    *end++ = ' ';
    end = AppendText(end, request);
    *end++ = ' ';
    end = AppendText(end, target);
    *end++ = ' ';
    end = AppendNumber(end, value);
    *end++ = '\n';

    /* One write per record with O_APPEND keeps records whole. */
    const int logFd = open(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd >= 0) {
        ssize_t written = write(logFd, line, (size_t)(end - line));
        (void)written;
        close(logFd);
    }
    errno = savedErrno;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);

    switch (request) {
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET: {
        const char* name = request == TIOCMBIS ? "MBIS" : request == TIOCMBIC ? "MBIC" : "MSET";
        const int* bits = (const int*)argument;
        RecordCall(name, fd, bits != NULL ? (unsigned int)*bits : 0u);
        break;
    }
    case TCSETS:
    case TCSETSW:
    case TCSETSF:
        RecordCall("TERMIOS", fd, 0);
        break;
    default:
        break;
    }
    if (realIoctl == NULL) {
        errno = ENOSYS;
        return -1;
    }
    return realIoctl(fd, request, argument);
}

int tcsetattr(int fd, int optionalActions, const struct termios* settings)
{
    RecordCall("TERMIOS", fd, 0);
    if (realTcsetattr == NULL) {
        errno = ENOSYS;
        return -1;
    }
    return realTcsetattr(fd, optionalActions, settings);
}
