// irtick's CPU time against the floor, `cat`: both read a pseudo-terminal
// that is fed one byte at a time at the line's full rate and write what
// they show to a terminal (a pseudo-terminal), side by side in one run, so
// that the load of the machine weighs on both alike.

#include "cost_vs_cat_bench.h"

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_traffic.h"
#include "deadline.h"
#include "irtick_run_bench.h"
#include "pty_harness.h"

namespace {

constexpr int kTrafficSeconds = 10;
constexpr int64_t kNanosecondsPerSecond = 1000 * 1000 * 1000;
constexpr double kNanosecondsPerMillisecond = 1e6;
// The terminals are drained after every this many bytes.
constexpr size_t kDrainEveryBytes = 8;
constexpr int kCatStartTimeoutMs = 5000;
constexpr char kCatProbe = 'x';

// cat with the port's slave as its standard input and a terminal's slave
// as its standard output.
struct CatRun {
    PtyPair port;
    PtyPair terminal;
    pid_t pid = -1;
};

// "" or what failed.
std::string StartCat(CatRun* cat)
{
    if (OpenPtyPair(&cat->port) != 0 || MakeLineRaw(cat->port.slave) != 0 ||
        OpenPtyPair(&cat->terminal) != 0) {
        return "no pseudo-terminals for cat";
    }
    cat->pid = fork();
    if (cat->pid < 0) return "cat cannot be started";
    if (cat->pid == 0) {
        if (dup2(cat->port.slave, STDIN_FILENO) < 0 ||
            dup2(cat->terminal.slave, STDOUT_FILENO) < 0) {
            _exit(127);
        }
        execlp("cat", "cat", static_cast<char*>(nullptr));
        _exit(127);
    }
    // The probe comes back on cat's terminal once cat reads.
    if (!WriteAll(cat->port.master, std::string(1, kCatProbe))) return "cat's port cannot be written";
    const Deadline deadline = MakeDeadline(kCatStartTimeoutMs);
    char shown = 0;
    while (read(cat->terminal.master, &shown, 1) != 1 || shown != kCatProbe) {
        if (HasExpired(deadline)) return "cat did not start";
        SleepMilliseconds(1);
    }
    return "";
}

void StopCat(CatRun* cat)
{
    if (cat->pid > 0) {
        kill(cat->pid, SIGTERM);
        waitpid(cat->pid, nullptr, 0);
        cat->pid = -1;
    }
    ClosePtyPair(&cat->port);
    ClosePtyPair(&cat->terminal);
}

// The CPU time a process has used so far, user and system, in ns; -1 if
// it cannot be read.  The process's CPU clock, not /proc's clock ticks:
// a few seconds of a light load are only a few ticks.
int64_t ProcessCpuNanoseconds(pid_t pid)
{
    clockid_t clock = 0;
    timespec used{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) return -1;
    return static_cast<int64_t>(used.tv_sec) * kNanosecondsPerSecond + used.tv_nsec;
}

void DrainCatTerminal(int master)
{
    char buffer[4096];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
}

// irtick's options by the benchmark's argument: 0 the plain display, 1 with
// both decoders on.
const std::vector<std::string> kIrtickOptions[] = {{}, {"-n", "-s12"}};

// Both read the same traffic, each byte written to both ports at its due
// time; the CPU time each used over the traffic is reported, and irtick's
// as a multiple of cat's.
void MeasureCpuAgainstCat(benchmark::State& state)
{
    const size_t byteCount = static_cast<size_t>(kLineBytesPerSecond * kTrafficSeconds);
    const std::string traffic = TrafficBytes(byteCount);
    if (traffic.empty()) {
        state.SkipWithError("no traffic");
        return;
    }
    for (auto _ : state) {
        BenchRun run;
        CatRun cat;
        std::string failure = StartRun(kIrtickOptions[state.range(0)], &run);
        if (failure.empty()) failure = StartCat(&cat);
        int64_t irtickUsed = -1;
        int64_t catUsed = -1;
        if (failure.empty()) {
            const int64_t irtickStart = ProcessCpuNanoseconds(run.irtick.pid);
            const int64_t catStart = ProcessCpuNanoseconds(cat.pid);
            const Deadline origin = MakeDeadline(0);
            for (size_t index = 0; index < traffic.size() && failure.empty(); ++index) {
                const int64_t dueNanoseconds =
                    static_cast<int64_t>(index * kNanosecondsPerSecond / kLineBytesPerSecond);
                SleepUntil(Deadline{origin.atNanoseconds + dueNanoseconds});
                const std::string byte(1, traffic[index]);
                if (!WriteAll(run.port.master, byte) || !WriteAll(cat.port.master, byte)) {
                    failure = "a port cannot be written";
                }
                if (index % kDrainEveryBytes == 0) {
                    DrainTerminal(&run.irtick);
                    run.irtick.output.clear();
                    DrainCatTerminal(cat.terminal.master);
                }
            }
            // What is still on its way is read before the clocks are read.
            ReadTerminalFor(&run.irtick, 100);
            DrainCatTerminal(cat.terminal.master);
            irtickUsed = ProcessCpuNanoseconds(run.irtick.pid) - irtickStart;
            catUsed = ProcessCpuNanoseconds(cat.pid) - catStart;
            if (failure.empty()) failure = QuitRun(&run);
        }
        StopCat(&cat);
        EndRun(&run);
        if (failure.empty() && (irtickUsed < 0 || catUsed <= 0)) {
            failure = "the CPU clocks of irtick and cat cannot be read";
        }
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.counters["irtick_cpu_ms"] = static_cast<double>(irtickUsed) / kNanosecondsPerMillisecond;
        state.counters["cat_cpu_ms"] = static_cast<double>(catUsed) / kNanosecondsPerMillisecond;
        state.counters["irtick_per_cat"] =
            static_cast<double>(irtickUsed) / static_cast<double>(catUsed);
        state.counters["traffic_bytes"] = static_cast<double>(traffic.size());
    }
}

}  // namespace

void RegisterCostVsCatBenchmarks()
{
    benchmark::RegisterBenchmark("Irtick/CpuAgainstCatAtLineRate", MeasureCpuAgainstCat)
        ->ArgName("decoders")
        ->Arg(0)
        ->Arg(1)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kSecond);
}
