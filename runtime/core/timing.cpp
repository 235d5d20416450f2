#include "core/timing.h"

#include "core/lifecycle.h"
#include "core/main_window.h"
#include "platform/platform.h"
#include "qr.h"

namespace qr::core {

TimingState& Timing() {
  static TimingState state;
  return state;
}

void RunTimerPrecisionTest() {
  TimingState& t = Timing();
  platform::Clock& clock = *platform::Current().clock;
  WriteLog("タイマーの精度を検査します\n");
  int millisecondChanges = 0, counterChanges = 0;
  uint32_t lastMilliseconds = clock.Milliseconds();
  uint64_t lastCounter = clock.Counter();
  uint32_t start = clock.Milliseconds();
  if (PumpMessagesUnguarded() == 0) {
    while (millisecondChanges < 60 && counterChanges < 60) {
      uint64_t counter = clock.Counter();
      if (counter != lastCounter) {
        ++counterChanges;
        lastCounter = counter;
      }
      uint32_t now = clock.Milliseconds();
      if (now != lastMilliseconds) {
        ++millisecondChanges;
        lastMilliseconds = now;
      }
      if (uint32_t(clock.Milliseconds() - start) >= 1000) break;
      if (PumpMessagesUnguarded() != 0) break;
    }
  }
  WriteLogFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d",
                 millisecondChanges, counterChanges);
  WriteLog(" ");
  if (millisecondChanges > counterChanges) {
    WriteLogFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", int(t.timerPeriod));
    t.usePerformanceCounter = 0;
  } else {
    WriteLogFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                   double(t.counterFrequency) / 1000.0);
  }
  WriteLog(" ");
}

}  // namespace qr::core

using qr::core::Timing;

int GetMillisecondCount() {
  return int(qr::platform::Current().clock->Milliseconds() & 0x7FFFFFFFu);
}

uint64_t GetMicrosecondCount(int useTimeStamp) {
  auto& t = Timing();
  auto& clock = *qr::platform::Current().clock;
  using u128 = unsigned __int128;
  if (t.hasTimeStampCounter && t.timeStampTicksPerSecond && useTimeStamp == 1 && qr::core::Started())
    return uint64_t(u128(clock.TimeStampCounter()) * 1000000u / t.timeStampTicksPerSecond);
  if (t.usePerformanceCounter && t.counterFrequency)
    return uint64_t(u128(clock.Counter()) * 1000000u / t.counterFrequency);
  return uint64_t(clock.Milliseconds()) * 1000u;
}

int SleepMilliseconds(int ms) {
  qr::platform::Current().clock->Sleep(ms > 0 ? unsigned(ms) : 0u);
  return 0;
}
