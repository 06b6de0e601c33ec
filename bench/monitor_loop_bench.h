// The cost per byte of the monitor loop with both decoders on.
#pragma once

void RegisterMonitorLoopBenchmarks();

// Removes the file that served as the port, if one was made.
void RemoveMonitorLoopPortFile();
