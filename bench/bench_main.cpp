// irtick_bench: speed and memory figures of irtick.  Google Benchmark's
// options apply (--benchmark_filter=ReadContract, --benchmark_format=json).

#include <benchmark/benchmark.h>

#include "analyze_stream_bench.h"
#include "cost_vs_cat_bench.h"
#include "irtick_run_bench.h"
#include "monitor_loop_bench.h"
#include "read_contract_bench.h"

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // Registered here rather than by static objects, so that the order of
    // the report is fixed.
    RegisterReadContractBenchmarks();
    RegisterMonitorLoopBenchmarks();
    RegisterIrtickRunBenchmarks();
    RegisterCostVsCatBenchmarks();
    RegisterAnalyzeStreamBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseReadContractPort();
    RemoveMonitorLoopPortFile();
    return 0;
}
