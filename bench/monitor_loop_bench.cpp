// The monitor loop as irtick -n -s12 runs it, over a port that never keeps
// it waiting: a file of receiver traffic, opened and read through the real
// serial layer, so every ReadFile returns 16 bytes at once.  The output
// goes to /dev/null, either buffered (irtick writing to a file or pipe) or
// with one write() per print (irtick writing to a terminal).  The figure is
// what the loop costs per received byte, set against the most bytes the
// receiver's line can carry.

#include "monitor_loop_bench.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "app/monitor_loop.h"
#include "app/run_options.h"
#include "bench_console.h"
#include "bench_port.h"
#include "bench_traffic.h"
#include "deadline.h"
#include "pty_harness.h"

namespace {

constexpr double kNanosecondsPerSecond = 1e9;

// One RunMonitor call reads the whole file: a whole number of 16-byte reads,
// so no read ever meets the end of the file (which would wait out the
// time-out like a silent line).
constexpr size_t kPortFileBytes = 64 * 1024;
constexpr long kReadsPerRun = kPortFileBytes / kReadBufferSize;

constexpr const char* kSinkPath = "/dev/null";

// The buffer irtick's console gives a file or pipe.
constexpr size_t kOutputBufferSize = 8192;

const char* const kDecodingArguments[] = {"irtick", "-n", "-s12"};

enum SinkKind { kSinkBuffered = 0, kSinkWritePerPrint = 1 };

std::string portDirectory;
std::string portFilePath;

// Writes the port file once; false if it cannot be made.
bool EnsurePortFile()
{
    if (!portFilePath.empty()) return true;
    const std::string bytes = TrafficBytes(kPortFileBytes);
    if (bytes.size() != kPortFileBytes) return false;
    const std::string directory = MakeTemporaryDirectory();
    if (directory.empty()) return false;
    const std::string path = directory + "/port.bin";
    if (!WriteFile(path, bytes)) {
        RemoveTemporaryDirectory(directory);
        return false;
    }
    portDirectory = directory;
    portFilePath = path;
    return true;
}

RunOptions DecodingOptions()
{
    return ParseRunOptions(sizeof kDecodingArguments / sizeof kDecodingArguments[0],
                           kDecodingArguments);
}

// Opens the file as receiverPort, with the quit key due at the poll after
// its last read; false if it cannot be opened.  RunMonitor closes it.
bool OpenPortFile()
{
    receiverPort = OpenBenchPort(portFilePath);
    if (receiverPort == INVALID_HANDLE_VALUE) {
        receiverPort = nullptr;
        return false;
    }
    benchPollsBeforeQuit = kReadsPerRun;
    return true;
}

size_t CountOf(const std::string& text, const char* part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// One run into memory: the traffic must decode, or the benchmark would
// time a loop whose decoders never leave their first states.
bool TrafficDecodes(const RunOptions& options)
{
    char* text = nullptr;
    size_t length = 0;
    benchOutputFile = open_memstream(&text, &length);
    if (benchOutputFile == nullptr) return false;
    const bool ran = OpenPortFile();
    if (ran) RunMonitor(options);
    fclose(benchOutputFile);
    benchOutputFile = nullptr;
    const std::string output(text, length);
    free(text);
    return ran && CountOf(output, "NEC Code:") > 0 && CountOf(output, "Rpt ") > 0 &&
           CountOf(output, "Sony Code:") > 0;
}

void MeasureMonitorLoop(benchmark::State& state, int sinkKind)
{
    const RunOptions options = DecodingOptions();
    if (!EnsurePortFile()) {
        state.SkipWithError("the port file cannot be made");
        return;
    }
    if (!TrafficDecodes(options)) {
        state.SkipWithError("the traffic does not decode");
        return;
    }
    const int sinkFd = open(kSinkPath, O_WRONLY | O_CLOEXEC);
    FILE* sinkFile = fopen(kSinkPath, "we");
    if (sinkFd < 0 || sinkFile == nullptr) {
        if (sinkFd >= 0) close(sinkFd);
        if (sinkFile != nullptr) fclose(sinkFile);
        state.SkipWithError("/dev/null cannot be opened");
        return;
    }
    setvbuf(sinkFile, nullptr, _IOFBF, kOutputBufferSize);
    benchOutputFile = sinkKind == kSinkBuffered ? sinkFile : nullptr;
    benchOutputFd = sinkFd;

    long long loopNanoseconds = 0;
    for (auto _ : state) {
        // The open is the benchmark's set-up, not part of the loop.
        state.PauseTiming();
        const bool opened = OpenPortFile();
        state.ResumeTiming();
        if (!opened) {
            state.SkipWithError("the port file cannot be opened");
            break;
        }
        const long long start = MonotonicNanoseconds();
        RunMonitor(options);
        loopNanoseconds += MonotonicNanoseconds() - start;
    }
    benchOutputFile = nullptr;
    benchOutputFd = -1;
    fclose(sinkFile);
    close(sinkFd);

    const double bytes = static_cast<double>(state.iterations()) * kPortFileBytes;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    if (loopNanoseconds > 0 && bytes > 0) {
        const double bytesPerSecond = bytes * kNanosecondsPerSecond / loopNanoseconds;
        state.counters["ns_per_byte"] = loopNanoseconds / bytes;
        // How many times the line's fastest byte stream the loop keeps up with.
        state.counters["line_headroom"] = bytesPerSecond / kLineBytesPerSecond;
    }
}

}  // namespace

void RegisterMonitorLoopBenchmarks()
{
    benchmark::RegisterBenchmark("MonitorLoop/NecAndSony/BufferedOutput", MeasureMonitorLoop,
                                 static_cast<int>(kSinkBuffered))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("MonitorLoop/NecAndSony/WritePerPrint", MeasureMonitorLoop,
                                 static_cast<int>(kSinkWritePerPrint))
        ->Unit(benchmark::kMillisecond);
}

void RemoveMonitorLoopPortFile()
{
    RemoveTemporaryDirectory(portDirectory);
    portDirectory.clear();
    portFilePath.clear();
}
