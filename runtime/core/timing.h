// Time for the runtime: the millisecond count, the microsecond count and the timer test.
#pragma once

#include <cstdint>

namespace qr::core {

struct TimingState {
  unsigned timerPeriod = 0;
  uint64_t counterFrequency = 0;
  int usePerformanceCounter = 0;
  uint64_t timeStampTicksPerSecond = 0;  // measured by the system report
  int hasTimeStampCounter = 0;
};

TimingState& Timing();

// Picks the finer of the two timers by counting how often each changes within a second, and
// logs the result. Runs only when there is a fine counter.
void RunTimerPrecisionTest();

}  // namespace qr::core
