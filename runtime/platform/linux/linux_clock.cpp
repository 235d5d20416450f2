#include "platform/linux/linux_clock.h"

#include <sched.h>
#include <time.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace qr::platform {
namespace {
uint64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}
}  // namespace

uint32_t LinuxClock::Milliseconds() { return uint32_t(MonotonicNanoseconds() / 1000000u); }

uint64_t LinuxClock::CounterFrequency() { return 1000000000u; }

uint64_t LinuxClock::Counter() { return MonotonicNanoseconds(); }

uint64_t LinuxClock::TimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return MonotonicNanoseconds();
#endif
}

void LinuxClock::Sleep(unsigned ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec wait{time_t(ms / 1000), long(ms % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

}  // namespace qr::platform
