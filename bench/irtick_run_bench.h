// The built irtick, run as a user runs it: a pseudo-terminal as its
// controlling terminal and another as its port.
#pragma once

void RegisterIrtickRunBenchmarks();
