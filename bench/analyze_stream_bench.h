// irtick-analyze's engine over large captures: bytes analysed per second.
#pragma once

void RegisterAnalyzeStreamBenchmarks();
