// The mixer both sound outputs use, and the headless output that runs it on the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/audio_mixer.h"
#include "platform/headless/headless_audio.h"

namespace qr::platform {
namespace {

// A buffer filled with the given 16-bit samples (interleaved when stereo).
AudioBufferId Make16(AudioMixer& mixer, int channels, int rate, const std::vector<int16_t>& samples) {
  AudioBufferId id = mixer.Create({channels, rate, 16}, uint32_t(samples.size() * 2));
  void *p1, *p2;
  uint32_t b1, b2;
  EXPECT_TRUE(mixer.Lock(id, 0, uint32_t(samples.size() * 2), &p1, &b1, &p2, &b2));
  std::memcpy(p1, samples.data(), b1);
  EXPECT_TRUE(mixer.Unlock(id, p1, b1, p2, b2));
  return id;
}

std::vector<int16_t> Mix(AudioMixer& mixer, size_t frames) {
  std::vector<int16_t> out(2 * frames, 12345);
  mixer.Mix(out.data(), frames);
  return out;
}

TEST(AudioMixer, PlaysAtTheOutputRateSampleForSampleAndStopsAtTheEnd) {
  AudioMixer mixer;
  AudioBufferId id = Make16(mixer, 2, 44100, {100, -100, 200, -200, 300, -300});
  ASSERT_TRUE(mixer.Play(id, false));
  std::vector<int16_t> out = Mix(mixer, 2);
  EXPECT_EQ(out, (std::vector<int16_t>{100, -100, 200, -200}));
  uint32_t play = 0, write = 0;
  ASSERT_TRUE(mixer.Positions(id, &play, &write));
  EXPECT_EQ(play, 8u);  // two frames of four bytes consumed
  out = Mix(mixer, 3);
  EXPECT_EQ(out, (std::vector<int16_t>{300, -300, 0, 0, 0, 0}));
  unsigned status = 99;
  ASSERT_TRUE(mixer.Status(id, &status));
  EXPECT_EQ(status, 0u);
}

TEST(AudioMixer, LoopingWrapsAndReportsLoopingStatus) {
  AudioMixer mixer;
  AudioBufferId id = Make16(mixer, 1, 44100, {1000, 2000, 3000});
  ASSERT_TRUE(mixer.Play(id, true));
  std::vector<int16_t> out = Mix(mixer, 7);
  std::vector<int16_t> left;
  for (size_t i = 0; i < out.size(); i += 2) {
    left.push_back(out[i]);
    EXPECT_EQ(out[i], out[i + 1]) << "mono goes to both channels";
  }
  EXPECT_EQ(left, (std::vector<int16_t>{1000, 2000, 3000, 1000, 2000, 3000, 1000}));
  unsigned status = 0;
  ASSERT_TRUE(mixer.Status(id, &status));
  EXPECT_EQ(status, unsigned(kBufferPlaying | kBufferLooping));
}

TEST(AudioMixer, ResamplesLinearlyAndKeepsThePhaseAcrossCalls) {
  // 22,050 Hz: every second output frame lies halfway between two source frames.
  std::vector<int16_t> ramp;
  for (int i = 0; i < 64; ++i) ramp.push_back(int16_t(i * 100));
  AudioMixer whole, pieces;
  AudioBufferId a = Make16(whole, 1, 22050, ramp), b = Make16(pieces, 1, 22050, ramp);
  whole.Play(a, true);
  pieces.Play(b, true);
  std::vector<int16_t> expected = Mix(whole, 101);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(expected[2 * i], i % 2 ? (i / 2) * 100 + 50 : (i / 2) * 100);
  std::vector<int16_t> got;
  for (size_t n : {1, 2, 3, 5, 7, 11, 13, 17, 19, 23}) {
    std::vector<int16_t> part = Mix(pieces, n);
    got.insert(got.end(), part.begin(), part.end());
  }
  EXPECT_EQ(got, expected);

  // A rate that does not divide the output rate: the phase is kept in 1/44,100 of a frame, so
  // after exactly one second of output the buffer stands exactly 11,025 frames on.
  AudioMixer odd;
  std::vector<int16_t> silence(20000, 0);
  AudioBufferId c = Make16(odd, 1, 11025, silence);
  odd.Play(c, true);
  for (int i = 0; i < 441; ++i) Mix(odd, 100);
  uint32_t play = 0;
  odd.Positions(c, &play, nullptr);
  EXPECT_EQ(play, 11025u * 2);
}

TEST(AudioMixer, SumsVoicesWithTheirGainsAndSaturates) {
  AudioMixer mixer;
  AudioBufferId a = Make16(mixer, 1, 44100, {10000, 30000, -30000});
  AudioBufferId b = Make16(mixer, 1, 44100, {5000, 30000, -30000});
  ASSERT_TRUE(mixer.SetVolume(b, -600));
  mixer.Play(a, false);
  mixer.Play(b, false);
  std::vector<int16_t> out = Mix(mixer, 3);
  int32_t g = MixerGain(-600);
  EXPECT_EQ(out[0], 10000 + ((5000 * g) >> 15));
  EXPECT_EQ(out[2], 32767) << "too loud saturates instead of wrapping";
  EXPECT_EQ(out[4], -32768);
}

TEST(AudioMixer, GainFollowsHundredthsOfDecibels) {
  struct Case { int level; int32_t gain; } cases[] = {
      {0, 32768}, {-600, 16423}, {-2000, 3277}, {-503, 18363}, {-9999, 0}, {kSilentLevel, 0}};
  for (const Case& c : cases) EXPECT_EQ(MixerGain(c.level), c.gain) << c.level;
  AudioMixer mixer;
  AudioBufferId id = mixer.Create({1, 44100, 16}, 2);
  EXPECT_FALSE(mixer.SetVolume(id, 1));
  EXPECT_FALSE(mixer.SetVolume(id, -10001));
}

TEST(AudioMixer, EightBitSamplesAreUnsignedAroundTheMiddle) {
  AudioMixer mixer;
  AudioBufferId id = mixer.Create({1, 44100, 8}, 3);
  void *p1, *p2;
  uint32_t b1, b2;
  ASSERT_TRUE(mixer.Lock(id, 0, 3, &p1, &b1, &p2, &b2));
  std::memcpy(p1, "\x80\xFF\x00", 3);
  mixer.Unlock(id, p1, b1, p2, b2);
  mixer.Play(id, false);
  std::vector<int16_t> out = Mix(mixer, 3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 127 * 256);
  EXPECT_EQ(out[4], -32768);
}

TEST(AudioMixer, DuplicatesShareSamplesButNotPositions) {
  AudioMixer mixer;
  AudioBufferId a = Make16(mixer, 1, 44100, {1, 2, 3, 4});
  AudioBufferId b = mixer.Duplicate(a);
  ASSERT_NE(b, 0);
  // A write through the original is heard through the copy.
  void *p1, *p2;
  uint32_t b1, b2;
  ASSERT_TRUE(mixer.Lock(a, 4, 2, &p1, &b1, &p2, &b2));
  int16_t value = 3000;
  std::memcpy(p1, &value, 2);
  mixer.Unlock(a, p1, b1, p2, b2);
  mixer.SetPosition(b, 4);
  mixer.Play(b, false);
  std::vector<int16_t> out = Mix(mixer, 1);
  EXPECT_EQ(out[0], 3000);
  uint32_t pa = 9, pb = 9;
  mixer.Positions(a, &pa, nullptr);
  mixer.Positions(b, &pb, nullptr);
  EXPECT_EQ(pa, 0u);
  EXPECT_EQ(pb, 6u);
  mixer.Release(a);
  EXPECT_EQ(Mix(mixer, 1)[0], 4) << "the copy keeps the samples alive";
}

TEST(AudioMixer, LockWrapsIntoTwoPartsAndRefusesBadRegions) {
  AudioMixer mixer;
  AudioBufferId id = mixer.Create({1, 44100, 16}, 8);
  void *p1, *p2;
  uint32_t b1, b2;
  ASSERT_TRUE(mixer.Lock(id, 6, 6, &p1, &b1, &p2, &b2));
  EXPECT_EQ(b1, 2u);
  EXPECT_EQ(b2, 4u);
  int16_t first = 7, wrapped[2] = {5, 6};
  std::memcpy(p1, &first, 2);
  std::memcpy(p2, wrapped, 4);
  EXPECT_FALSE(mixer.Lock(id, 0, 2, &p1, &b1, &p2, &b2)) << "already locked";
  ASSERT_TRUE(mixer.Unlock(id, p1, b1, p2, b2));
  mixer.Play(id, false);
  std::vector<int16_t> out = Mix(mixer, 4);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(out[2], 6);
  EXPECT_EQ(out[6], 7);
  EXPECT_FALSE(mixer.Lock(id, 8, 2, &p1, &b1, &p2, &b2));
  EXPECT_FALSE(mixer.Lock(id, 0, 10, &p1, &b1, &p2, &b2));
}

TEST(AudioMixer, RefusesFormatsOutsideTheRange) {
  AudioMixer mixer;
  struct Case { PcmFormat format; uint32_t bytes; bool ok; } cases[] = {
      {{1, 1000, 8}, 1, true},   {{2, 192000, 16}, 4, true}, {{1, 999, 16}, 2, false},
      {{1, 192001, 16}, 2, false}, {{3, 44100, 16}, 6, false}, {{1, 44100, 24}, 3, false},
      {{2, 44100, 16}, 6, false},  {{2, 44100, 16}, 0, false}};
  for (const Case& c : cases)
    EXPECT_EQ(mixer.Create(c.format, c.bytes) != 0, c.ok)
        << c.format.channels << " " << c.format.samplesPerSecond << " " << c.format.bitsPerSample
        << " " << c.bytes;
}

TEST(HeadlessAudio, MixesAsTheClockAdvancesAndRecordsWhatWasPlayed) {
  HeadlessClock clock;
  HeadlessAudioOutput output(clock);
  ASSERT_TRUE(output.Open());
  std::vector<int16_t> ramp(441 * 2);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int16_t(i);
  AudioBufferId id = output.CreateBuffer({1, 44100, 16}, uint32_t(ramp.size() * 2));
  void *p1, *p2;
  uint32_t b1, b2;
  ASSERT_TRUE(output.Lock(id, 0, uint32_t(ramp.size() * 2), &p1, &b1, &p2, &b2));
  std::memcpy(p1, ramp.data(), b1);
  output.Unlock(id, p1, b1, p2, b2);
  output.StartRecording();
  output.Play(id, false);
  clock.Advance(10000);  // 10 ms: 441 frames
  uint32_t play = 0;
  ASSERT_TRUE(output.Positions(id, &play, nullptr));
  EXPECT_EQ(play, 441u * 2);
  clock.Advance(20000);
  output.CatchUp();
  ASSERT_EQ(output.recorded.size(), 1323u * 2);
  EXPECT_EQ(output.recorded[2 * 500], 500);
  EXPECT_EQ(output.recorded[2 * 900], 0) << "silence after the end";
  unsigned status = 1;
  output.Status(id, &status);
  EXPECT_EQ(status, 0u);
}

TEST(HeadlessAudio, AMachineWithoutASoundCardDoesNotOpen) {
  HeadlessClock clock;
  HeadlessAudioOutput output(clock);
  output.deviceAvailable = false;
  EXPECT_FALSE(output.Open());
  EXPECT_FALSE(output.IsOpen());
}

}  // namespace
}  // namespace qr::platform
