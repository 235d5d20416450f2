// Streamed sounds: the ring, repeats, the end of the data, and the entry rules.
#include <algorithm>

#include "sound_fixture.h"

namespace qr::testing {
namespace {

// One second of a constant 44,100 Hz mono tone: the mix shows it sample for sample.
Bytes Tone(int16_t value, int rate = 44100, double seconds = 1.0) {
  WaveLayout s;
  s.rate = unsigned(rate);
  s.data = Samples16(std::vector<int16_t>(size_t(rate * seconds), value));
  return MakeWave(s);
}

class StreamTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    Start();
    host.clock.stepPerReadMicroseconds = 0;
  }
  int Streamed(const std::string& name, const Bytes& file, int repeat, int dataType = 2) {
    int h = qr::sound::AddSoundData(-1);
    EXPECT_EQ(qr::sound::AddStreamSoundFile(Put(name, file).c_str(), repeat, h, dataType, -1), 0);
    return h;
  }
};

TEST_F(StreamTest, RepeatCountOnePlaysTwiceAndStopsAfterTheSilence) {
  int h = Streamed("tone.wav", Tone(1000), 1);
  ASSERT_EQ(qr::sound::PrepareStreamSound(h), 0);
  host.audio.StartRecording();
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  RunFor(1500);
  EXPECT_EQ(IsSoundPlaying(h), 1);
  RunFor(2500);
  EXPECT_EQ(IsSoundPlaying(h), 0) << "stopped by itself";
  host.audio.CatchUp();
  const std::vector<int16_t>& mix = host.audio.recorded;
  ASSERT_GT(mix.size(), 2u * 44100 * 3);
  for (size_t frame : {size_t(0), size_t(44099), size_t(44100), size_t(88199)})
    EXPECT_EQ(mix[2 * frame], 1000) << frame;
  for (size_t frame : {size_t(88200), size_t(100000), size_t(44100 * 3)}) EXPECT_EQ(mix[2 * frame], 0) << frame;
}

TEST_F(StreamTest, ALoopingStreamGoesOnPastItsEnd) {
  int h = Streamed("tone.wav", Tone(700, 22050), 0);
  ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
  host.audio.StartRecording();
  RunFor(7000);  // past the six-second ring, too
  EXPECT_EQ(IsSoundPlaying(h), 1);
  host.audio.CatchUp();
  const std::vector<int16_t>& mix = host.audio.recorded;
  size_t silent = 0;
  for (size_t i = 0; i < mix.size(); i += 2) silent += mix[i] != 700;
  EXPECT_EQ(silent, 0u) << "no gap and no stale data while looping";
  EXPECT_EQ(StopSoundHandle(h), 0);
  EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(StreamTest, EntriesPlayInTurn) {
  int h = Streamed("a.wav", Tone(300, 44100, 0.5), 0);
  ASSERT_EQ(qr::sound::AddStreamSoundFile(Put("b.wav", Tone(-300, 44100, 0.5)).c_str(), 0, h, 3, -1), 0);
  EXPECT_EQ(Record(h)->totalSamples, 44100);
  host.audio.StartRecording();
  ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
  RunFor(2000);
  host.audio.CatchUp();
  const std::vector<int16_t>& mix = host.audio.recorded;
  EXPECT_EQ(mix[2 * 22049], 300);
  EXPECT_EQ(mix[2 * 22050], -300);
  EXPECT_EQ(mix[2 * 44099], -300);
  EXPECT_EQ(mix[2 * 44100], 0);
}

TEST_F(StreamTest, AFourthEntryAndAnEntryOfAnotherFormatAreRefused) {
  int h = Streamed("a.wav", Tone(1), 0);
  std::string b = Put("b.wav", Tone(2)), other = Put("c.wav", Tone(3, 22050));
  EXPECT_EQ(qr::sound::AddStreamSoundFile(other.c_str(), 0, h, 2, -1), -1);
  std::vector<std::string> lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "フォーマットの違う音声データは同時に使うことは出来ません右記のＷＡＶファイルのセットアップに失敗しました：c.wav "),
            lines.end());
  EXPECT_EQ(qr::sound::AddStreamSoundFile(b.c_str(), 0, h, 2, -1), 0);
  EXPECT_EQ(qr::sound::AddStreamSoundFile(b.c_str(), 0, h, 2, -1), 0);
  EXPECT_EQ(qr::sound::AddStreamSoundFile(b.c_str(), 0, h, 2, -1), -1);
  lines = LogLines();
  EXPECT_EQ(lines[lines.size() - 2], "ストリーム風サウンドの制御データ領域がいっぱいです");
  EXPECT_EQ(lines.back(), "右記のＷＡＶファイルのセットアップに失敗しました：b.wav ");
  EXPECT_EQ(Record(h)->streamEntryCount, 3);
}

TEST_F(StreamTest, LoadSoundFileStreamsWithAnotherDataTypeAndDeletesCleanly) {
  for (int type : {1, 2, 3}) {
    ASSERT_EQ(SetSoundDataType(type), 0);
    int h = LoadSoundFile(GameAsset("life_21_huta.mp3").c_str(), 3, -1);
    ASSERT_NE(h, -1) << type;
    EXPECT_EQ(Record(h)->streamed, 1);
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0);
    RunFor(200);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    EXPECT_EQ(DeleteSoundHandle(h), 0);
  }
  EXPECT_EQ(SetSoundDataType(4), -1);
  EXPECT_EQ(host.audio.Mixer().BufferCount(), 1) << "only the silent buffer is left";
}

TEST_F(StreamTest, ASharedRingIsTakenOverByTheSoundThatPlays) {
  int a = Streamed("a.wav", Tone(100), -1);
  int b = qr::sound::AddSoundData(-1);
  ASSERT_EQ(qr::sound::AddStreamSoundFile(Put("b.wav", Tone(-100)).c_str(), -1, b, 2, a), 0);
  EXPECT_EQ(Record(b)->sharedFrom, a);
  EXPECT_EQ(Record(a)->shareCount, 1);
  int buffers = host.audio.Mixer().BufferCount();
  ASSERT_EQ(PlaySoundHandle(a, 1, 1), 0);
  RunFor(100);
  ASSERT_EQ(PlaySoundHandle(b, 1, 1), 0);
  RunFor(100);
  EXPECT_EQ(IsSoundPlaying(a), 0);
  EXPECT_EQ(IsSoundPlaying(b), 1);
  EXPECT_EQ(DeleteSoundHandle(a), 0);  // waits for b
  EXPECT_EQ(host.audio.Mixer().BufferCount(), buffers);
  EXPECT_EQ(DeleteSoundHandle(b), 0);
  EXPECT_EQ(host.audio.Mixer().BufferCount(), buffers - 1) << "the ring goes with the last user";
  EXPECT_EQ(qr::sound::SoundTable().LiveCount(), 0);
}

}  // namespace
}  // namespace qr::testing
