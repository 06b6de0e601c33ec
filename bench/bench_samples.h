// Benchmarks that take a fixed number of samples of one slow event (a read,
// a run of irtick) and report min, median and max of them.
#pragma once

#include <benchmark/benchmark.h>

// One timed event per repetition, `samples` repetitions, the time set by
// the benchmark (SetIterationTime); only the summary rows are shown, with
// min and max next to Google Benchmark's mean, median and spread.
benchmark::internal::Benchmark* SampleEvents(benchmark::internal::Benchmark* bench, int samples,
                                             benchmark::TimeUnit unit);

// Seconds between two readings of the monotonic clock in nanoseconds.
double SecondsBetween(long long startNanoseconds, long long endNanoseconds);
