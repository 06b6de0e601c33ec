// Figures of whole irtick runs on pseudo-terminals: how soon a quit key
// ends an idle run, and the peak memory while traffic arrives.

#include "irtick_run_bench.h"

#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_samples.h"
#include "bench_traffic.h"
#include "deadline.h"
#include "pty_harness.h"

namespace {

constexpr int kKeySamples = 10;
constexpr int kStartTimeoutMs = 5000;
constexpr int kExitTimeoutMs = 5000;

// An idle read lasts the total time-out, 2 x 16 + 100 ms.  The keys of the
// samples are typed at points spread over one such read, since where in a
// read a key lands decides how long it waits.
constexpr int kIdleReadMs = 132;

// A byte whose display shows that the monitor loop runs.
constexpr char kProbeByte = 7;
constexpr const char* kProbeDisplay = "  7 ";

constexpr const char* kQuitKey = "q";

constexpr int64_t kMicrosecondsPerSecond = 1000 * 1000;
constexpr int kFirstSampleSeconds = 1;
constexpr int kLastSampleSeconds = 5;
constexpr int kTrafficStepMs = 1;
constexpr long kBytesPerKilobyte = 1024;


int keySampleIndex = 0;

}  // namespace

// Starts irtick and waits until its loop shows a byte; "" or what failed.
std::string StartRun(const std::vector<std::string>& options, BenchRun* run)
{
    if (OpenPtyPair(&run->port) != 0 || MakeLineRaw(run->port.slave) != 0) {
        return "no pseudo-terminal port";
    }
    IrtickLaunch launch;
    launch.arguments = options;
    launch.arguments.push_back("-p" + run->port.slavePath);
    if (StartIrtick(launch, &run->irtick) != 0) return "irtick cannot be started";
    // The byte waits in the port through the power-up pause and comes back
    // on the terminal once the loop reads.
    if (!WriteAll(run->port.master, std::string(1, kProbeByte)) ||
        !ReadTerminalUntil(&run->irtick, kProbeDisplay, kStartTimeoutMs)) {
        return "irtick's monitor loop did not start";
    }
    return "";
}

void EndRun(BenchRun* run)
{
    StopIrtick(&run->irtick);
    ClosePtyPair(&run->port);
}

// Types the quit key and waits for the exit; "" or what went wrong.
std::string QuitRun(BenchRun* run)
{
    if (!TypeKeys(&run->irtick, kQuitKey)) return "the quit key cannot be typed";
    if (!WaitForExit(&run->irtick, kExitTimeoutMs)) return "irtick did not end on the quit key";
    const int status = run->irtick.waitStatus;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "irtick did not exit with 0";
    return "";
}

namespace {

void MeasureQuitKeyReaction(benchmark::State& state)
{
    for (auto _ : state) {
        BenchRun run;
        std::string failure = StartRun({}, &run);
        if (failure.empty()) {
            // The probe's read has just returned and an idle read begun.
            const int offsetMs = (keySampleIndex++ % kKeySamples) * kIdleReadMs / kKeySamples;
            SleepMilliseconds(offsetMs);
            const long long typedAt = MonotonicNanoseconds();
            failure = QuitRun(&run);
            state.SetIterationTime(SecondsBetween(typedAt, MonotonicNanoseconds()));
        }
        EndRun(&run);
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
}

// The peak resident set of a process in kB (VmHWM), -1 if unknown.
long PeakResidentKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string name;
    while (status >> name) {
        long value = 0;
        if (name == "VmHWM:" && status >> value) return value;
    }
    return -1;
}

// irtick -n -s12 fed receiver traffic at the most the line carries, one
// byte every 1/5760 s: every read then fills its 16 bytes and both
// decoders see frames all the time.  The peak resident set is taken once
// the loop runs, after 1 s and after 5 s of traffic.
void MeasureMemoryUnderTraffic(benchmark::State& state)
{
    const int64_t trafficMicroseconds = kLastSampleSeconds * kMicrosecondsPerSecond;
    const std::string traffic =
        TrafficBytes(static_cast<size_t>(kLineBytesPerSecond * kLastSampleSeconds));
    if (traffic.empty()) {
        state.SkipWithError("no traffic");
        return;
    }
    for (auto _ : state) {
        BenchRun run;
        std::string failure = StartRun({"-n", "-s12"}, &run);
        long atStart = -1;
        long afterFirst = -1;
        long afterLast = -1;
        size_t sent = 0;
        if (failure.empty()) {
            atStart = PeakResidentKilobytes(run.irtick.pid);
            const long long origin = MonotonicNanoseconds();
            for (;;) {
                const long long elapsedMicroseconds = (MonotonicNanoseconds() - origin) / 1000;
                size_t due = static_cast<size_t>(elapsedMicroseconds * kLineBytesPerSecond /
                                                 kMicrosecondsPerSecond);
                if (due > traffic.size()) due = traffic.size();
                if (due > sent && !WriteAll(run.port.master, traffic.substr(sent, due - sent))) {
                    failure = "the port cannot be written";
                    break;
                }
                sent = due;
                // irtick's display is read and dropped, so the terminal
                // never fills and the benchmark itself does not grow.
                DrainTerminal(&run.irtick);
                run.irtick.output.clear();
                if (afterFirst < 0 &&
                    elapsedMicroseconds >= kFirstSampleSeconds * kMicrosecondsPerSecond) {
                    afterFirst = PeakResidentKilobytes(run.irtick.pid);
                }
                if (elapsedMicroseconds >= trafficMicroseconds) {
                    afterLast = PeakResidentKilobytes(run.irtick.pid);
                    break;
                }
                SleepMilliseconds(kTrafficStepMs);
            }
            if (failure.empty()) failure = QuitRun(&run);
        }
        EndRun(&run);
        if (failure.empty() && (atStart < 0 || afterFirst < 0 || afterLast < 0)) {
            failure = "/proc/<pid>/status has no VmHWM";
        }
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        // In bytes, shown in binary units (2.9Mi).
        const auto inBytes = [](long kilobytes) {
            return benchmark::Counter(static_cast<double>(kilobytes) * kBytesPerKilobyte,
                                      benchmark::Counter::kDefaults,
                                      benchmark::Counter::OneK::kIs1024);
        };
        state.counters["VmHWM_start"] = inBytes(atStart);
        state.counters["VmHWM_1s"] = inBytes(afterFirst);
        state.counters["VmHWM_5s"] = inBytes(afterLast);
        state.counters["growth_1s_to_5s"] = inBytes(afterLast - afterFirst);
        state.counters["traffic_bytes"] = static_cast<double>(sent);
    }
}

}  // namespace

void RegisterIrtickRunBenchmarks()
{
    SampleEvents(benchmark::RegisterBenchmark("Irtick/QuitKeyWhileIdle", MeasureQuitKeyReaction),
                 kKeySamples, benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Irtick/PeakMemoryAtLineRate", MeasureMemoryUnderTraffic)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kSecond);
}
