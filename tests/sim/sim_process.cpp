#include "sim_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kPollStepMs = 5;
constexpr int kReapTimeoutMs = 5000;

// Moves whatever the pipe holds into *text; never waits.  Closes the pipe
// at its end.
void DrainPipe(int* fd, std::string* text)
{
    while (*fd >= 0) {
        char buffer[4096];
        const ssize_t count = read(*fd, buffer, sizeof buffer);
        if (count > 0) {
            text->append(buffer, static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && errno == EAGAIN) return;
        close(*fd);
        *fd = -1;
    }
}

bool CollectSimStatus(SimRun* run)
{
    if (run->ended) return true;
    if (run->pid <= 0) return false;
    int status = 0;
    const pid_t reaped = waitpid(run->pid, &status, WNOHANG);
    if (reaped != run->pid) return false;
    run->ended = true;
    run->waitStatus = status;
    return true;
}

}  // namespace

int StartSim(const std::vector<std::string>& arguments, SimRun* run)
{
    std::vector<char*> argv;
    std::string program = IRTICK_SIM_PATH;
    argv.push_back(&program[0]);
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    int output[2];
    int errors[2];
    if (pipe2(output, O_CLOEXEC) != 0) return -1;
    if (pipe2(errors, O_CLOEXEC) != 0) {
        close(output[0]);
        close(output[1]);
        return -1;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(output[0]);
        close(output[1]);
        close(errors[0]);
        close(errors[1]);
        return -1;
    }
    if (pid == 0) {
        const int input = open("/dev/null", O_RDONLY);
        if (input < 0 || dup2(input, STDIN_FILENO) < 0 || dup2(output[1], STDOUT_FILENO) < 0 ||
            dup2(errors[1], STDERR_FILENO) < 0) {
            _exit(126);
        }
        // A clean signal state whatever the test process had.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        signal(SIGPIPE, SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    close(errors[1]);
    fcntl(output[0], F_SETFL, O_NONBLOCK);
    fcntl(errors[0], F_SETFL, O_NONBLOCK);
    *run = SimRun();
    run->pid = pid;
    run->outputFd = output[0];
    run->errorFd = errors[0];
    return 0;
}

bool ReadSimFirstLine(SimRun* run, std::string* line, int timeoutMs)
{
    const long long deadline = MonotonicMilliseconds() + timeoutMs;
    for (;;) {
        DrainPipe(&run->outputFd, &run->output);
        const size_t end = run->output.find('\n');
        if (end != std::string::npos) {
            *line = run->output.substr(0, end);
            return true;
        }
        if (run->outputFd < 0 || MonotonicMilliseconds() >= deadline) return false;
        pollfd entry = {run->outputFd, POLLIN, 0};
        poll(&entry, 1, kPollStepMs);
    }
}

bool WaitForSimExit(SimRun* run, int timeoutMs)
{
    const long long deadline = MonotonicMilliseconds() + timeoutMs;
    for (;;) {
        DrainPipe(&run->outputFd, &run->output);
        DrainPipe(&run->errorFd, &run->errors);
        if (CollectSimStatus(run)) {
            // What it wrote just before it ended.
            DrainPipe(&run->outputFd, &run->output);
            DrainPipe(&run->errorFd, &run->errors);
            return true;
        }
        if (MonotonicMilliseconds() >= deadline) return false;
        SleepMilliseconds(kPollStepMs);
    }
}

void StopSim(SimRun* run)
{
    if (run->pid > 0 && !run->ended) {
        kill(run->pid, SIGKILL);
        WaitForSimExit(run, kReapTimeoutMs);
    }
    for (int* fd : {&run->outputFd, &run->errorFd}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

std::string DescribeSimEnd(const SimRun& run)
{
    if (!run.ended) return "still running";
    if (WIFEXITED(run.waitStatus)) return "exited with " + std::to_string(WEXITSTATUS(run.waitStatus));
    if (WIFSIGNALED(run.waitStatus)) {
        return "killed by signal " + std::to_string(WTERMSIG(run.waitStatus));
    }
    return "wait status " + std::to_string(run.waitStatus);
}

int OpenPortForReading(const std::string& path)
{
    return open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

void ReadPortBytes(int fd, size_t count, int timeoutMs, std::string* bytes,
                   std::vector<long long>* arrivals)
{
    const long long deadline = MonotonicMilliseconds() + timeoutMs;
    size_t got = 0;
    while (got < count) {
        const long long left = deadline - MonotonicMilliseconds();
        if (left <= 0) return;
        pollfd entry = {fd, POLLIN, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return;
        char buffer[4096];
        const size_t wanted = count - got < sizeof buffer ? count - got : sizeof buffer;
        const ssize_t readCount = read(fd, buffer, wanted);
        if (readCount < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        // 0 or an error: the other side has hung up.
        if (readCount <= 0) return;
        bytes->append(buffer, static_cast<size_t>(readCount));
        got += static_cast<size_t>(readCount);
        if (arrivals != nullptr) {
            arrivals->insert(arrivals->end(), static_cast<size_t>(readCount), MonotonicMilliseconds());
        }
    }
}
