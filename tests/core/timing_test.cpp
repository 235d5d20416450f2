#include <gtest/gtest.h>

#include "core/main_window.h"
#include "core/random.h"
#include "core/timing.h"
#include "support/headless_runtime.h"
#include "qr.h"

namespace {
using qr::testing::HeadlessRuntimeTest;

class Timing : public HeadlessRuntimeTest {};

TEST_F(Timing, MillisecondCountIsNeverNegative) {
  host.clock.stepPerReadMicroseconds = 0;
  host.clock.now = uint64_t(0x7FFFFFFFu) * 1000;  // the last millisecond before bit 31
  EXPECT_EQ(GetMillisecondCount(), 0x7FFFFFFF);
  host.clock.Advance(1000);
  EXPECT_EQ(GetMillisecondCount(), 0);
  host.clock.now = uint64_t(0xFFFFFFFFu) * 1000;
  EXPECT_EQ(GetMillisecondCount(), 0x7FFFFFFF);
}

TEST_F(Timing, RarelyTickingCounterLosesToTheMillisecondTimer) {
  host.clock.counterFrequency = 100;  // changes every 10 ms only
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  std::vector<std::string> lines = LogLines();
  auto at = std::find(lines.begin(), lines.end(), "タイマーの精度を検査します");
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(at[1], "精度結果 更新回数 マルチメディアタイマー：60  パフォーマンスカウンター：6");
  EXPECT_EQ(at[2], " マルチメディアタイマーを使用します タイマー分解能 : 1.00 ms ");
  EXPECT_EQ(qr::core::Timing().usePerformanceCounter, 0);
}

TEST_F(Timing, WithoutACounterTheTestIsSkipped) {
  host.clock.counterFrequency = 0;
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  std::vector<std::string> lines = LogLines();
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "タイマーの精度を検査します"), lines.end());
  EXPECT_EQ(GetMicrosecondCount(0), uint64_t(host.clock.now / 1000) * 1000);
}

TEST_F(Timing, MicrosecondCountFromEachSource) {
  host.clock.stepPerReadMicroseconds = 0;
  ChangeWindowMode(1);
  host.clock.stepPerReadMicroseconds = 100;
  ASSERT_EQ(RuntimeInit(), 0);
  host.clock.stepPerReadMicroseconds = 0;
  // The time-stamp counter: 3 ticks per ns as measured at start (300,000,000 per 100 ms).
  uint64_t ticksPerSecond = qr::core::Timing().timeStampTicksPerSecond;
  ASSERT_GT(ticksPerSecond, 0u);
  uint64_t fromTsc = GetMicrosecondCount(1);
  EXPECT_EQ(fromTsc, uint64_t((unsigned __int128)(host.clock.now * 3000) * 1000000 / ticksPerSecond));
  // The counter (1 MHz here) for argument 0.
  EXPECT_EQ(GetMicrosecondCount(0), host.clock.now.load());
  // Huge counter values do not overflow the product.
  host.clock.now = uint64_t(1) << 60;
  EXPECT_EQ(GetMicrosecondCount(0), uint64_t(1) << 60);
}

TEST_F(Timing, StartSeedsFromTheClockUnlessFixed) {
  qr::core::SetFixedSeed(4357);
  ChangeWindowMode(1);
  ASSERT_EQ(RuntimeInit(), 0);
  EXPECT_EQ(qr::core::NextRandom(), 2867219139u);
}

TEST_F(Timing, SleepRunsOnThePlatformClock) {
  host.clock.stepPerReadMicroseconds = 0;
  uint64_t before = host.clock.now;
  SleepMilliseconds(16);
  SleepMilliseconds(-5);
  EXPECT_EQ(host.clock.now - before, 16000u);
}

}  // namespace
