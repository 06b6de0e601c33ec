// irtick-analyze's decoding engine over a capture held in memory, fed in
// the 64 KiB pieces the program reads files in, from a fresh analyzer to
// the end of the stream.  Two captures: remote-control traffic (NEC presses
// with repeats, Sony frames, as the simulator sends them) and random bytes,
// where nearly everything ends as unknown runs.  Each at 1 MB and 10 MB:
// the rate stays the same when the work grows in step with the input.
// bytes_per_second is the rate, to be set against the line's 5,760
// bytes/s (kLineBytesPerSecond).

#include "analyze_stream_bench.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "analyze_stream.h"
#include "bench_traffic.h"  // TrafficBytes

namespace {

constexpr size_t kMegabyte = 1000 * 1000;
constexpr size_t kPieceSize = 64 * 1024;
constexpr uint32_t kRandomSeed = 9;

enum CaptureKind { kTrafficCapture = 0, kRandomCapture = 1 };

const std::string& Capture(int kind, size_t size)
{
    static std::string traffic;
    static std::string random;
    std::string& capture = kind == kTrafficCapture ? traffic : random;
    if (capture.size() != size) {
        if (kind == kTrafficCapture) {
            capture = TrafficBytes(size);
        } else {
            std::mt19937 generator(kRandomSeed);
            capture.resize(size);
            for (char& byte : capture) byte = static_cast<char>(generator() & 0xFF);
        }
    }
    return capture;
}

void AnalyzeCapture(benchmark::State& state)
{
    const std::string& capture =
        Capture(static_cast<int>(state.range(0)), static_cast<size_t>(state.range(1)) * kMegabyte);
    if (capture.empty()) {
        state.SkipWithError("no capture");
        return;
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(capture.data());
    int64_t frames = 0;
    std::vector<StreamEvent> events;
    for (auto _ : state) {
        StreamAnalyzer analyzer{};
        frames = 0;
        for (size_t at = 0; at < capture.size(); at += kPieceSize) {
            const size_t count = std::min(kPieceSize, capture.size() - at);
            events.clear();
            FeedStreamAnalyzer(&analyzer, bytes + at, count, &events);
            for (const StreamEvent& event : events) frames += event.kind == StreamFrameEvent;
        }
        events.clear();
        FinishStreamAnalyzer(&analyzer, &events);
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(capture.size()));
    state.counters["frames"] = static_cast<double>(frames);
}

}  // namespace

void RegisterAnalyzeStreamBenchmarks()
{
    benchmark::RegisterBenchmark("AnalyzeStream/traffic", AnalyzeCapture)
        ->ArgNames({"kind", "MB"})
        ->Args({kTrafficCapture, 1})
        ->Args({kTrafficCapture, 10})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("AnalyzeStream/random", AnalyzeCapture)
        ->ArgNames({"kind", "MB"})
        ->Args({kRandomCapture, 1})
        ->Args({kRandomCapture, 10})
        ->Unit(benchmark::kMillisecond);
}
