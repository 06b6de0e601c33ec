#include "analyze_cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "deadline.h"

namespace {

void CloseFd(int* fd)
{
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

// Moves what is waiting on fd into *text; closes fd at its end.
void Drain(int* fd, std::string* text)
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(*fd, buffer, sizeof buffer);
        if (count > 0) {
            text->append(buffer, static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        CloseFd(fd);
        return;
    }
}

}  // namespace

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& input, int timeoutMs)
{
    ProgramResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) return result;
    std::vector<std::string> words = arguments;
    words.insert(words.begin(), path);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    int inFd = inPipe[1], outFd = outPipe[0], errFd = errPipe[0];
    if (pid < 0) {
        CloseFd(&inFd);
        CloseFd(&outFd);
        CloseFd(&errFd);
        return result;
    }
    fcntl(inFd, F_SETFL, O_NONBLOCK);
    fcntl(outFd, F_SETFL, O_NONBLOCK);
    fcntl(errFd, F_SETFL, O_NONBLOCK);
    // A program that stops reading must not end the test by SIGPIPE.
    signal(SIGPIPE, SIG_IGN);

    size_t written = 0;
    if (input.empty()) CloseFd(&inFd);
    const long long deadline = MonotonicMilliseconds() + timeoutMs;
    while (outFd >= 0 || errFd >= 0) {
        const long long left = deadline - MonotonicMilliseconds();
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        poll(fds, 3, static_cast<int>(left));
        if (outFd >= 0) Drain(&outFd, &result.output);
        if (errFd >= 0) Drain(&errFd, &result.errors);
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t count = write(inFd, input.data() + written, input.size() - written);
            if (count > 0) written += static_cast<size_t>(count);
            if ((count < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
                CloseFd(&inFd);
            }
        }
    }
    CloseFd(&inFd);
    CloseFd(&outFd);
    CloseFd(&errFd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && !result.timedOut) {
        result.exited = true;
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signalNumber = WTERMSIG(status);
    }
    return result;
}

