// The host's clock: CLOCK_MONOTONIC for the millisecond count and the counter, the processor's
// time-stamp counter where there is one, nanosleep for sleeping.
#pragma once

#include "platform/clock.h"

namespace qr::platform {

class LinuxClock final : public Clock {
 public:
  uint32_t Milliseconds() override;
  uint64_t CounterFrequency() override;
  uint64_t Counter() override;
  uint64_t TimeStampCounter() override;
  unsigned MinimumTimerPeriod() override { return 1; }
  void BeginTimerPeriod(unsigned) override {}
  void EndTimerPeriod(unsigned) override {}
  void Sleep(unsigned ms) override;
};

}  // namespace qr::platform
