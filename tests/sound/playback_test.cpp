// Playing sounds held in their buffers: buffer rotation, restart, volume, and what the mix holds.
#include <cmath>

#include "sound_fixture.h"

namespace qr::testing {
namespace {

int BuffersPlaying(qr::sound::SoundRecord* r, qr::platform::HeadlessAudioOutput& out) {
  int playing = 0;
  for (int i = 0; i < r->bufferCount; ++i) {
    unsigned status = 0;
    out.Status(r->buffers[i].id, &status);
    playing += (status & qr::platform::kBufferPlaying) != 0;
  }
  return playing;
}

Bytes SecondOfTone(int16_t value) {
  WaveLayout s;
  s.data = Samples16(std::vector<int16_t>(44100, value));
  return MakeWave(s);
}

TEST_F(SoundTest, FourPlaysOfAThreeBufferSoundRestartTheFirstBuffer) {
  Start();
  host.clock.stepPerReadMicroseconds = 0;  // positions move only with Advance
  int h = LoadSoundFile(Put("t.wav", SecondOfTone(100)).c_str(), 3, -1);
  auto* r = Record(h);
  host.clock.Advance(10000);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);  // buffer 1
  host.clock.Advance(10000);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);  // buffer 2
  host.clock.Advance(10000);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);  // buffer 0
  EXPECT_EQ(BuffersPlaying(r, host.audio), 3);
  host.clock.Advance(10000);
  uint32_t before = 0, after = 0;
  host.audio.Positions(r->buffers[1].id, &before, nullptr);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);  // buffer 1 again, from the start
  host.audio.Positions(r->buffers[1].id, &after, nullptr);
  EXPECT_EQ(before, 441u * 3 * 2);
  EXPECT_EQ(after, 0u);
  EXPECT_EQ(r->currentBuffer, 1);
  EXPECT_EQ(BuffersPlaying(r, host.audio), 3);
}

TEST_F(SoundTest, APlayWithoutRestartLeavesAPlayingBufferAlone) {
  Start();
  int h = LoadSoundFile(Put("t.wav", SecondOfTone(100)).c_str(), 1, -1);
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  host.clock.Advance(100000);
  uint32_t before = 0, after = 0;
  host.audio.Positions(Record(h)->buffers[0].id, &before, nullptr);
  EXPECT_EQ(PlaySoundHandle(h, 1, 0), 0);
  host.audio.Positions(Record(h)->buffers[0].id, &after, nullptr);
  EXPECT_EQ(after, before);
  EXPECT_EQ(IsSoundPlaying(h), 1);
  EXPECT_EQ(StopSoundHandle(h), 0);
  EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(SoundTest, VolumeMapsToHundredthsOfDecibels) {
  Start();
  int h = LoadSoundFile(Put("t.wav", SecondOfTone(100)).c_str(), 2, -1);
  struct Case { int volume, level; } cases[] = {
      {255, 0}, {128, -299}, {80, -503}, {1, -2406}, {0, -10000}, {-5, -10000}, {300, 0}};
  for (const Case& c : cases) {
    ASSERT_EQ(SetSoundVolume(c.volume, h), 0);
    EXPECT_EQ(LevelOf(h, 0), c.level) << c.volume;
    EXPECT_EQ(LevelOf(h, 1), c.level) << c.volume;
  }
}

TEST_F(SoundTest, TwoOverlappingEffectsMixAsTheSumOfBothWithTheirGains) {
  Start();
  std::vector<int16_t> a(4410), b(4410);
  for (size_t i = 0; i < a.size(); ++i) {
    a[i] = int16_t(8000 * std::sin(double(i) * 0.05));
    b[i] = int16_t(6000 * std::sin(double(i) * 0.21));
  }
  WaveLayout sa, sb;
  sa.data = Samples16(a);
  sb.data = Samples16(b);
  int ha = LoadSoundFile(Put("a.wav", MakeWave(sa)).c_str(), 3, -1);
  int hb = LoadSoundFile(Put("b.wav", MakeWave(sb)).c_str(), 3, -1);
  SetSoundVolume(128, hb);
  host.clock.stepPerReadMicroseconds = 0;  // the plays start exactly 50 ms apart
  host.audio.StartRecording();
  PlaySoundHandle(ha, 1, 1);
  host.clock.Advance(50000);  // b starts 2,205 frames later
  PlaySoundHandle(hb, 1, 1);
  host.clock.Advance(200000);
  host.audio.CatchUp();
  const std::vector<int16_t>& mix = host.audio.recorded;
  ASSERT_GE(mix.size(), 2u * 8820);
  const int32_t gb = qr::platform::MixerGain(-299);
  for (size_t i = 0; i < 8820; ++i) {
    int32_t expected = 0;
    if (i < a.size()) expected += a[i];
    if (i >= 2205 && i - 2205 < b.size()) expected += (b[i - 2205] * gb) >> 15;
    ASSERT_EQ(mix[2 * i], expected) << "frame " << i;
    ASSERT_EQ(mix[2 * i + 1], expected) << "frame " << i;
  }
}

TEST_F(SoundTest, PlayAndWaitReturnsWhenTheSoundHasEnded) {
  Start();
  int h = LoadSoundFile(Put("t.wav", SecondOfTone(100)).c_str(), 1, -1);
  uint32_t start = GetMillisecondCount();
  ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
  EXPECT_EQ(IsSoundPlaying(h), 0);
  EXPECT_GE(uint32_t(GetMillisecondCount()) - start, 1000u);
}

}  // namespace
}  // namespace qr::testing
