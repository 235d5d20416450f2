// Time as the runtime reads it: a millisecond count, a finer counter, the processor's time-stamp
// counter and sleeping.
#pragma once

#include <cstdint>

namespace qr::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() = 0;  // wraps after 2^32 ms
  virtual uint64_t CounterFrequency() = 0;  // 0 when there is no fine counter
  virtual uint64_t Counter() = 0;
  virtual uint64_t TimeStampCounter() = 0;  // processor cycles; only read when CPUID reports one
  virtual unsigned MinimumTimerPeriod() = 0;  // finest period of the millisecond timer
  virtual void BeginTimerPeriod(unsigned ms) = 0;
  virtual void EndTimerPeriod(unsigned ms) = 0;
  virtual void Sleep(unsigned ms) = 0;  // 0 gives up the rest of the time slice
};

}  // namespace qr::platform
