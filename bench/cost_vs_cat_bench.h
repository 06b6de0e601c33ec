// irtick's CPU time against cat's on the same traffic, in the same run.
#pragma once

void RegisterCostVsCatBenchmarks();
