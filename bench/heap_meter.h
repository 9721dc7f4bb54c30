// Heap bytes in use by the measuring thread, and their peak: the simulator's thread is
// left out, so the figure is the logger's own.
#pragma once

#include <cstddef>

namespace kavrel::bench {

void startHeapMeter();        // counts this thread's allocations from now on, peak reset
std::size_t peakHeapBytes();  // highest bytes in use since startHeapMeter
void stopHeapMeter();

} // namespace kavrel::bench
