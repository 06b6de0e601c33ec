// Summary statistics for the sampled benchmarks.

#include "bench_samples.h"

#include <algorithm>
#include <vector>

namespace {

constexpr double kNanosecondsPerSecond = 1e9;

double Smallest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

double Largest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

}  // namespace

benchmark::internal::Benchmark* SampleEvents(benchmark::internal::Benchmark* bench, int samples,
                                             benchmark::TimeUnit unit)
{
    return bench->Iterations(1)
        ->Repetitions(samples)
        ->UseManualTime()
        ->Unit(unit)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", Smallest)
        ->ComputeStatistics("max", Largest);
}

double SecondsBetween(long long startNanoseconds, long long endNanoseconds)
{
    return static_cast<double>(endNanoseconds - startNanoseconds) / kNanosecondsPerSecond;
}
