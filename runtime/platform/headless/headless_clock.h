// A clock that moves only when told: by Advance, by Sleep, and by a small step on every read of
// the millisecond count, so that loops which wait for the time to pass still end.
#pragma once

#include <atomic>
#include <functional>

#include "platform/clock.h"

namespace qr::platform {

class HeadlessClock final : public Clock {
 public:
  // Time in microseconds; starts at a value that shows the millisecond count is not from 0.
  std::atomic<uint64_t> now{1000000};
  uint64_t stepPerReadMicroseconds = 100;
  uint64_t counterFrequency = 1000000;  // 0: no fine counter
  uint64_t timeStampTicksPerMicrosecond = 3000;  // a 3 GHz processor

  void Advance(uint64_t microseconds) { now += microseconds; }

  uint32_t Milliseconds() override {
    uint64_t value = now.fetch_add(stepPerReadMicroseconds);
    return uint32_t(value / 1000);
  }
  uint64_t CounterFrequency() override { return counterFrequency; }
  uint64_t Counter() override {
    return uint64_t((unsigned __int128)now.load() * counterFrequency / 1000000);
  }
  uint64_t TimeStampCounter() override { return now.load() * timeStampTicksPerMicrosecond; }
  unsigned MinimumTimerPeriod() override { return 1; }
  void BeginTimerPeriod(unsigned) override {}
  void EndTimerPeriod(unsigned) override {}
  // Runs while the sleeper sleeps, halfway through: where a test does what the host does meanwhile.
  std::function<void()> onSleep;

  void Sleep(unsigned ms) override {
    now += uint64_t(ms) * 500;
    if (onSleep) onSleep();
    now += uint64_t(ms) * 1000 - uint64_t(ms) * 500;
  }
};

}  // namespace qr::platform
