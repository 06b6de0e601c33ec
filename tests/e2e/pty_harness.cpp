// Starting irtick on pseudo-terminals and watching it from outside.

#include "pty_harness.h"

#include "raw_line.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace {

constexpr int kPollStepMs = 5;
constexpr int kStatusReportTimeoutMs = 5000;
constexpr int kReapTimeoutMs = 3000;
constexpr speed_t kHarnessLineSpeed = B9600;
constexpr speed_t kIrtickLineSpeed = B57600;
constexpr unsigned short kTerminalRows = 24;
constexpr unsigned short kTerminalColumns = 80;
// A Backspace key that sends ^H instead of the default DEL, so that a
// terminal merely reset to defaults afterwards differs from the one found.
constexpr cc_t kTestEraseCharacter = 0x08;

const char* const kPreloadVariable = "LD_PRELOAD";
const char* const kModemLogVariable = "IRTICK_MODEM_LOG";

int SetNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return -1;
    return fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Reads exactly size bytes from a pipe within the time-out.
bool ReadPipeExactly(int fd, void* buffer, size_t size, int timeoutMs)
{
    char* out = static_cast<char*>(buffer);
    size_t got = 0;
    const long long deadline = MonotonicMilliseconds() + timeoutMs;
    while (got < size) {
        long long left = deadline - MonotonicMilliseconds();
        if (left < 0) left = 0;
        pollfd entry = {fd, POLLIN, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t count = read(fd, out + got, size - got);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (count <= 0) return false;
        got += static_cast<size_t>(count);
    }
    return true;
}

std::string FindInPath(const std::string& program)
{
    if (program.find('/') != std::string::npos) return program;
    const char* path = getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return program;
}

// The starting state of the test terminal: the pseudo-terminal's defaults
// (echo, line input, CR-to-NL, XON/XOFF, output processing) with a few
// settings a user might have changed.
int PrepareTestTerminal(const PtyPair& terminal)
{
    termios settings;
    if (tcgetattr(terminal.slave, &settings) != 0) return -1;
    settings.c_iflag |= IUTF8;
    settings.c_cc[VERASE] = kTestEraseCharacter;
    if (tcsetattr(terminal.slave, TCSANOW, &settings) != 0) return -1;
    winsize size = {};
    size.ws_row = kTerminalRows;
    size.ws_col = kTerminalColumns;
    return ioctl(terminal.master, TIOCSWINSZ, &size);
}

// Everything the child needs, prepared before the fork: between fork and
// exec only async-signal-safe calls are made.
struct ChildPlan {
    std::vector<std::string> argumentStore;
    std::vector<char*> argumentVector;
    std::vector<std::string> environmentStore;
    std::vector<char*> environmentVector;
    std::string programPath;
};

void BuildChildPlan(const IrtickLaunch& launch, ChildPlan* plan)
{
    for (const std::string& word : launch.commandPrefix) plan->argumentStore.push_back(word);
    plan->argumentStore.push_back(IRTICK_PATH);
    for (const std::string& word : launch.arguments) plan->argumentStore.push_back(word);
    for (std::string& word : plan->argumentStore) plan->argumentVector.push_back(&word[0]);
    plan->argumentVector.push_back(nullptr);
    plan->programPath = launch.commandPrefix.empty() ? std::string(IRTICK_PATH)
                                                     : FindInPath(launch.commandPrefix[0]);

    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        if (name == kPreloadVariable || name == kModemLogVariable) continue;
        plan->environmentStore.push_back(variable);
    }
    if (!launch.modemLogPath.empty()) {
        plan->environmentStore.push_back(std::string(kPreloadVariable) + "=" +
                                         IRTICK_MODEM_LOG_PRELOAD);
        plan->environmentStore.push_back(std::string(kModemLogVariable) + "=" +
                                         launch.modemLogPath);
    }
    for (std::string& variable : plan->environmentStore) {
        plan->environmentVector.push_back(&variable[0]);
    }
    plan->environmentVector.push_back(nullptr);
}

// Closes every descriptor from 3 on except the two given (either may be
// -1).  The session leader never execs, so close-on-exec does not clear
// what it inherited from the test process: without this it would hold the
// port's master open, among others, and a closed far end would not be seen.
void CloseDescriptorRange(unsigned int first, unsigned int last)
{
    if (close_range(first, last, 0) == 0) return;
    // A kernel without close_range: the descriptors a test process has.
    constexpr unsigned int kFallbackLimit = 4096;
    for (unsigned int fd = first; fd <= last && fd < kFallbackLimit; ++fd) close(fd);
}

void CloseOtherDescriptors(int keep, int alsoKeep)
{
    const int kept[2] = {keep < alsoKeep ? keep : alsoKeep, keep < alsoKeep ? alsoKeep : keep};
    unsigned int first = STDERR_FILENO + 1;
    for (int fd : kept) {
        if (fd < static_cast<int>(first)) continue;
        if (static_cast<unsigned int>(fd) > first) CloseDescriptorRange(first, fd - 1);
        first = fd + 1;
    }
    CloseDescriptorRange(first, ~0u);
}

// In irtick's process, after the fork: the foreground job of the session,
// with default signal handling, its standard streams, then exec.
[[noreturn]] void ExecIrtick(const IrtickLaunch& launch, const ChildPlan& plan, int terminalFd)
{
    setpgid(0, 0);
    // Taking the terminal from a background group would stop us.
    signal(SIGTTOU, SIG_IGN);
    tcsetpgrp(terminalFd, getpid());

    // Whatever the test process set up, irtick starts as from a shell.
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        signal(signalNumber, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    int inputFd = terminalFd;
    if (!launch.standardInputFile.empty()) {
        inputFd = open(launch.standardInputFile.c_str(), O_RDONLY);
        if (inputFd < 0) _exit(126);
    }
    int outputFd = terminalFd;
    if (launch.standardOutputFd >= 0) {
        outputFd = launch.standardOutputFd;
    } else if (!launch.standardOutputFile.empty()) {
        outputFd = open(launch.standardOutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outputFd < 0) _exit(126);
    }
    if (dup2(inputFd, STDIN_FILENO) < 0 || dup2(outputFd, STDOUT_FILENO) < 0 ||
        dup2(terminalFd, STDERR_FILENO) < 0) {
        _exit(126);
    }
    if (terminalFd > STDERR_FILENO) close(terminalFd);
    if (inputFd > STDERR_FILENO && inputFd != terminalFd) close(inputFd);
    if (outputFd > STDERR_FILENO && outputFd != terminalFd) close(outputFd);

    for (const int fd : launch.closedStandardDescriptors) {
        if (fd <= STDERR_FILENO) close(fd);
    }

    if (!launch.workingDirectory.empty() && chdir(launch.workingDirectory.c_str()) != 0) {
        _exit(126);
    }
    // A run ended by SIGQUIT must not leave a core file behind.
    rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    execve(plan.programPath.c_str(), plan.argumentVector.data(), plan.environmentVector.data());
    _exit(127);
}

// The session leader, after the fork: takes the terminal as its
// controlling terminal, starts irtick as the foreground job and reports
// irtick's pid and, once it has ended, its wait status.
[[noreturn]] void LeadSession(const IrtickLaunch& launch, const ChildPlan& plan,
                              const std::string& terminalPath, int statusFd)
{
    CloseOtherDescriptors(statusFd, launch.standardOutputFd);
    if (setsid() < 0) _exit(125);
    // Opening a terminal without O_NOCTTY makes it the controlling terminal
    // of a session leader that has none.
    const int terminalFd = open(terminalPath.c_str(), O_RDWR);
    if (terminalFd < 0) _exit(125);
    ioctl(terminalFd, TIOCSCTTY, 0);

    const pid_t child = fork();
    if (child < 0) _exit(125);
    if (child == 0) ExecIrtick(launch, plan, terminalFd);

    // The same two steps as the child, whichever runs first.
    setpgid(child, child);
    tcsetpgrp(terminalFd, child);
    close(terminalFd);

    const int32_t reportedPid = child;
    if (write(statusFd, &reportedPid, sizeof reportedPid) != sizeof reportedPid) _exit(125);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) _exit(125);
    }
    const int32_t reportedStatus = status;
    if (write(statusFd, &reportedStatus, sizeof reportedStatus) != sizeof reportedStatus) {
        _exit(125);
    }
    _exit(0);
}

void ReapLeader(IrtickRun* run)
{
    if (run->leaderPid <= 0) return;
    const long long deadline = MonotonicMilliseconds() + kReapTimeoutMs;
    for (;;) {
        const pid_t reaped = waitpid(run->leaderPid, nullptr, WNOHANG);
        if (reaped == run->leaderPid || (reaped < 0 && errno != EINTR)) break;
        if (MonotonicMilliseconds() > deadline) {
            kill(run->leaderPid, SIGKILL);
            waitpid(run->leaderPid, nullptr, 0);
            break;
        }
        SleepMilliseconds(kPollStepMs);
    }
    run->leaderPid = -1;
}

// Takes the wait status from the leader if it has been reported.
bool CollectStatus(IrtickRun* run, int timeoutMs)
{
    if (run->ended) return true;
    if (run->statusPipe < 0) return false;
    int32_t status = 0;
    if (!ReadPipeExactly(run->statusPipe, &status, sizeof status, timeoutMs)) return false;
    run->ended = true;
    run->waitStatus = status;
    close(run->statusPipe);
    run->statusPipe = -1;
    ReapLeader(run);
    return true;
}

}  // namespace

int OpenPtyPair(PtyPair* pair)
{
    pair->master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pair->master < 0) return -1;
    char name[128];
    if (grantpt(pair->master) != 0 || unlockpt(pair->master) != 0 ||
        ptsname_r(pair->master, name, sizeof name) != 0 || SetNonBlocking(pair->master) != 0) {
        ClosePtyPair(pair);
        return -1;
    }
    pair->slavePath = name;
    pair->slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pair->slave < 0) {
        ClosePtyPair(pair);
        return -1;
    }
    return 0;
}

void ClosePtyPair(PtyPair* pair)
{
    if (pair->slave >= 0) close(pair->slave);
    if (pair->master >= 0) close(pair->master);
    pair->slave = -1;
    pair->master = -1;
}

int MakeLineRaw(int fd)
{
    return ApplyRawLine(fd, kHarnessLineSpeed) == 0 ? 0 : -1;
}

int StartIrtick(const IrtickLaunch& launch, IrtickRun* run)
{
    if (OpenPtyPair(&run->terminal) != 0) return -1;
    if (PrepareTestTerminal(run->terminal) != 0 ||
        tcgetattr(run->terminal.slave, &run->terminalBefore) != 0) {
        return -1;
    }
    ChildPlan plan;
    BuildChildPlan(launch, &plan);

    int statusPipe[2];
    if (pipe2(statusPipe, O_CLOEXEC) != 0) return -1;
    const pid_t leader = fork();
    if (leader < 0) {
        close(statusPipe[0]);
        close(statusPipe[1]);
        return -1;
    }
    if (leader == 0) {
        close(statusPipe[0]);
        LeadSession(launch, plan, run->terminal.slavePath, statusPipe[1]);
    }
    close(statusPipe[1]);
    run->leaderPid = leader;
    run->statusPipe = statusPipe[0];

    int32_t pid = -1;
    if (!ReadPipeExactly(run->statusPipe, &pid, sizeof pid, kStatusReportTimeoutMs)) {
        StopIrtick(run);
        return -1;
    }
    run->pid = pid;
    return 0;
}

void DrainTerminal(IrtickRun* run)
{
    if (run->terminal.master < 0) return;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(run->terminal.master, buffer, sizeof buffer);
        if (count > 0) {
            run->output.append(buffer, static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        break;  // EAGAIN: nothing more for now; EIO: no slave left
    }
}

bool WaitFor(IrtickRun* run, const std::function<bool()>& condition, int timeoutMs)
{
    const long long deadline = MonotonicMilliseconds() + timeoutMs;
    for (;;) {
        if (run != nullptr) DrainTerminal(run);
        if (condition()) return true;
        if (MonotonicMilliseconds() >= deadline) return false;
        SleepMilliseconds(kPollStepMs);
    }
}

bool ReadTerminalUntil(IrtickRun* run, const std::string& text, int timeoutMs)
{
    return WaitFor(
        run, [&] { return run->output.find(text) != std::string::npos; }, timeoutMs);
}

void ReadTerminalFor(IrtickRun* run, int milliseconds)
{
    WaitFor(run, [] { return false; }, milliseconds);
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    const long long deadline = MonotonicMilliseconds() + kStatusReportTimeoutMs;
    while (done < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno != EINTR && errno != EAGAIN) return false;
        if (MonotonicMilliseconds() > deadline) return false;
        SleepMilliseconds(kPollStepMs);
    }
    return true;
}

bool TypeKeys(IrtickRun* run, const std::string& keys)
{
    return WriteAll(run->terminal.master, keys);
}

bool IsRunning(IrtickRun* run)
{
    return !CollectStatus(run, 0);
}

bool WaitForExit(IrtickRun* run, int timeoutMs)
{
    const long long deadline = MonotonicMilliseconds() + timeoutMs;
    bool ended = false;
    for (;;) {
        DrainTerminal(run);
        if (CollectStatus(run, kPollStepMs)) {
            ended = true;
            break;
        }
        if (MonotonicMilliseconds() >= deadline) break;
    }
    DrainTerminal(run);
    if (!ended) StopIrtick(run);
    return ended;
}

void StopIrtick(IrtickRun* run)
{
    if (!run->ended && run->pid > 0) {
        kill(run->pid, SIGKILL);
        CollectStatus(run, kReapTimeoutMs);
    }
    if (run->statusPipe >= 0) {
        close(run->statusPipe);
        run->statusPipe = -1;
    }
    ReapLeader(run);
    DrainTerminal(run);
    ClosePtyPair(&run->terminal);
}

bool WaitForKeyMode(IrtickRun* run, int timeoutMs)
{
    return WaitFor(
        run,
        [&] {
            termios now;
            return tcgetattr(run->terminal.slave, &now) == 0 && (now.c_lflag & ECHO) == 0;
        },
        timeoutMs);
}

bool WaitForLineConfigured(IrtickRun* run, int portFd, int timeoutMs)
{
    return WaitFor(
        run,
        [&] {
            termios now;
            return tcgetattr(portFd, &now) == 0 && cfgetispeed(&now) == kIrtickLineSpeed;
        },
        timeoutMs);
}

int BytesWaiting(int fd)
{
    int count = 0;
    if (ioctl(fd, FIONREAD, &count) != 0) return -1;
    return count;
}

namespace {

// The fields of /proc/<pid>/stat after the command name, which is in
// parentheses and may hold blanks.
std::vector<std::string> StatFields(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    std::vector<std::string> fields;
    if (close == std::string::npos) return fields;
    std::stringstream rest(text.substr(close + 1));
    std::string field;
    while (rest >> field) fields.push_back(field);
    return fields;
}

// Positions in StatFields, counted from the state (field 3 of the file).
constexpr size_t kStateField = 0;
constexpr size_t kUserTimeField = 11;
constexpr size_t kSystemTimeField = 12;

}  // namespace

long long BytesReadByProcess(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/io");
    std::string name;
    long long value = 0;
    while (file >> name >> value) {
        if (name == "rchar:") return value;
    }
    return -1;
}

long CpuTicks(pid_t pid)
{
    const std::vector<std::string> fields = StatFields(pid);
    if (fields.size() <= kSystemTimeField) return -1;
    return std::stol(fields[kUserTimeField]) + std::stol(fields[kSystemTimeField]);
}

char ProcessState(pid_t pid)
{
    const std::vector<std::string> fields = StatFields(pid);
    if (fields.size() <= kStateField || fields[kStateField].empty()) return 0;
    return fields[kStateField][0];
}

std::string DescribeTermiosDifferences(const termios& expected, const termios& actual)
{
    std::ostringstream differences;
    auto compare = [&](const char* name, unsigned long want, unsigned long got) {
        if (want != got) {
            differences << name << ": expected 0x" << std::hex << want << ", got 0x" << got
                        << std::dec << "\n";
        }
    };
    compare("c_iflag", expected.c_iflag, actual.c_iflag);
    compare("c_oflag", expected.c_oflag, actual.c_oflag);
    compare("c_cflag", expected.c_cflag, actual.c_cflag);
    compare("c_lflag", expected.c_lflag, actual.c_lflag);
    compare("c_line", expected.c_line, actual.c_line);
    for (size_t index = 0; index < NCCS; ++index) {
        const std::string name = "c_cc[" + std::to_string(index) + "]";
        compare(name.c_str(), expected.c_cc[index], actual.c_cc[index]);
    }
    compare("input speed", cfgetispeed(&expected), cfgetispeed(&actual));
    compare("output speed", cfgetospeed(&expected), cfgetospeed(&actual));
    return differences.str();
}

std::vector<ModemLogEntry> ReadModemLog(const std::string& logPath)
{
    std::vector<ModemLogEntry> entries;
    std::ifstream file(logPath);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        ModemLogEntry entry;
        if (fields >> entry.milliseconds >> entry.request >> entry.path >> entry.value) {
            entries.push_back(entry);
        }
    }
    return entries;
}

std::vector<LineState> LineStateChanges(const std::vector<ModemLogEntry>& log,
                                        const std::string& path)
{
    std::vector<LineState> changes;
    LineState state;
    for (const ModemLogEntry& entry : log) {
        if (entry.path != path || entry.request == "TERMIOS") continue;
        LineState next = state;
        next.milliseconds = entry.milliseconds;
        const bool rtsNamed = (entry.value & TIOCM_RTS) != 0;
        const bool dtrNamed = (entry.value & TIOCM_DTR) != 0;
        if (entry.request == "MBIS") {
            next.rts = state.rts || rtsNamed;
            next.dtr = state.dtr || dtrNamed;
        } else if (entry.request == "MBIC") {
            next.rts = state.rts && !rtsNamed;
            next.dtr = state.dtr && !dtrNamed;
        } else if (entry.request == "MSET") {
            next.rts = rtsNamed;
            next.dtr = dtrNamed;
        }
        if (next.rts != state.rts || next.dtr != state.dtr) changes.push_back(next);
        state = next;
    }
    return changes;
}

std::string DescribeLineState(const LineState& state)
{
    return std::string("RTS ") + (state.rts ? "high" : "low") + ", DTR " +
           (state.dtr ? "high" : "low");
}

bool WaitForPowerUp(IrtickRun* run, const std::string& logPath, const std::string& portPath,
                    int timeoutMs)
{
    return WaitFor(
        run,
        [&] {
            bool lowered = false;
            for (const LineState& state : LineStateChanges(ReadModemLog(logPath), portPath)) {
                if (!state.rts && !state.dtr) lowered = true;
                if (lowered && state.rts && state.dtr) return true;
            }
            return false;
        },
        timeoutMs);
}

std::string MakeTemporaryDirectory()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/irtick-e2e-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) return std::string();
    return pattern;
}

void RemoveTemporaryDirectory(const std::string& path)
{
    if (path.empty()) return;
    DIR* directory = opendir(path.c_str());
    if (directory != nullptr) {
        while (dirent* entry = readdir(directory)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            unlink((path + "/" + name).c_str());
        }
        closedir(directory);
    }
    rmdir(path.c_str());
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string Printable(const std::string& bytes)
{
    std::string text;
    for (unsigned char byte : bytes) {
        if (byte == '\r') {
            text += "\\r";
        } else if (byte == '\n') {
            text += "\\n";
        } else if (byte == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += static_cast<char>(byte);
        }
    }
    return text;
}
