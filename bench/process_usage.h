// CPU time and peak memory of this process, where the engine's threads run.
#pragma once

namespace bench {

// User plus system CPU seconds of all threads of the process so far.
double processCpuSeconds();

// Resets the process's peak resident size to its current size, so that the
// next reading covers only what follows. False when the kernel refuses.
bool resetPeakResidentSize();

// Peak resident size in MiB since the start or the last reset; -1 if unknown.
double peakResidentMiB();

} // namespace bench
