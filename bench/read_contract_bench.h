// The read contract of the receiver port on a pseudo-terminal, timed
// through the real serial layer.
#pragma once

void RegisterReadContractBenchmarks();

// Closes the pseudo-terminal port if a benchmark opened it.
void CloseReadContractPort();
