// Sound start, handles and loading.
#include <algorithm>

#include "sound_fixture.h"

namespace qr::testing {
namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

WaveLayout ShortWave() {
  WaveLayout s;
  s.data = Samples16({1000, 2000, 3000, 4000});
  return s;
}

TEST_F(SoundTest, LoadSoundFileMakesTheBuffersAskedForUpToTen) {
  Start();
  std::string name = Put("a.wav", MakeWave(ShortWave()));
  int three = LoadSoundFile(name.c_str(), 3, -1);
  int many = LoadSoundFile(name.c_str(), 25, -1);
  ASSERT_NE(three, -1);
  ASSERT_NE(many, -1);
  EXPECT_EQ(Record(three)->bufferCount, 3);
  EXPECT_EQ(Record(many)->bufferCount, 10);
  EXPECT_EQ((three >> 27) & 15, 2) << "sound handles are of kind 2";
  // Every copy holds the samples.
  void *p1, *p2;
  uint32_t b1, b2;
  auto id = Record(many)->buffers[9].id;
  ASSERT_TRUE(host.audio.Lock(id, 0, 8, &p1, &b1, &p2, &b2));
  EXPECT_EQ(std::memcmp(p1, ShortWave().data.data(), 8), 0);
  host.audio.Unlock(id, p1, b1, p2, b2);
  EXPECT_EQ(LoadSoundFromMemory(MakeWave(ShortWave()).data(), 52, 11, -1), -1);
}

TEST_F(SoundTest, DeletingAHandleTwiceFailsTheSecondTime) {
  Start();
  int h = LoadSoundFile(Put("a.wav", MakeWave(ShortWave())).c_str(), 1, -1);
  int buffers = host.audio.Mixer().BufferCount();
  EXPECT_EQ(DeleteSoundHandle(h), 0);
  EXPECT_EQ(host.audio.Mixer().BufferCount(), buffers - 1);
  EXPECT_EQ(DeleteSoundHandle(h), -1);
  EXPECT_EQ(PlaySoundHandle(h, 1, 1), -1);
  EXPECT_EQ(IsSoundPlaying(h), -1);
}

TEST_F(SoundTest, TheTableHolds4096AndReusesTheHighestSlot) {
  Start();
  Bytes wave = MakeWave(ShortWave());
  std::vector<int> handles;
  for (int i = 0; i < 4096; ++i) handles.push_back(LoadSoundFromMemory(wave.data(), wave.size(), 1, -1));
  ASSERT_EQ(std::count(handles.begin(), handles.end(), -1), 0);
  EXPECT_EQ(LoadSoundFromMemory(wave.data(), wave.size(), 1, -1), -1);
  EXPECT_TRUE(HasLine(LogLines(), "サウンドの数が許容量を越えました"));
  ASSERT_EQ(DeleteSoundHandle(handles.back()), 0);
  int again = LoadSoundFromMemory(wave.data(), wave.size(), 1, -1);
  EXPECT_EQ(again & 0xFFFF, 4095);
  EXPECT_NE(again, handles.back()) << "a new check number";
}

TEST_F(SoundTest, AMissingFileLogsTheOpenFailureAndTheLoadFailure) {
  Start();
  EXPECT_EQ(LoadSoundFile("nothing.wav", 3, -1), -1);
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "右記のファイルのオープンに失敗しました：nothing.wav"));
  EXPECT_TRUE(HasLine(lines, "右記の音声ファイルのロードに失敗しました_1：nothing.wav"));
}

TEST_F(SoundTest, AFileNoRecogniserTakesLogsTheConversionFailure) {
  Start();
  Bytes text(500, 'x');
  EXPECT_EQ(LoadSoundFile(Put("x.wav", text).c_str(), 1, -1), -1);
  std::vector<std::string> lines = LogLines();
  // The conversion message has no line end of its own: the load message completes its line.
  EXPECT_TRUE(HasLine(lines, "音声ファイルのＰＣＭへの変換に失敗しました右記の音声ファイルのロードに失敗しました_2：x.wav"));
  EXPECT_EQ(qr::sound::SoundTable().LiveCount(), 0) << "the handle is deleted again";
}

TEST_F(SoundTest, WithoutASoundCardTheRuntimeStartsSilently) {
  host.audio.deviceAvailable = false;
  Start();
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "DirectSound インターフェースの取得を行います....  DirectSoundインターフェースの作成に失敗しました"));
  EXPECT_FALSE(HasLine(lines, "DirectSound の初期化は正常に終了しました"));
  std::string name = Put("a.wav", MakeWave(ShortWave()));
  size_t before = LogLines().size();
  EXPECT_EQ(LoadSoundFile(name.c_str(), 3, -1), -1);
  EXPECT_EQ(PlaySoundHandle(0x10000000, 1, 1), -1);
  EXPECT_EQ(StopSoundHandle(0x10000000), -1);
  EXPECT_EQ(SetSoundVolume(80, 0x10000000), -1);
  EXPECT_EQ(DeleteAllSoundHandles(), -1);
  EXPECT_EQ(LogLines().size(), before) << "nothing is logged";
}

TEST_F(SoundTest, TheSilentBufferLoopsFromStartToEnd) {
  Start();
  auto silent = qr::sound::Sound().silentBuffer;
  ASSERT_NE(silent, 0);
  unsigned status = 0;
  ASSERT_TRUE(host.audio.Status(silent, &status));
  EXPECT_EQ(status, unsigned(qr::platform::kBufferPlaying | qr::platform::kBufferLooping));
  RuntimeEnd();
  EXPECT_FALSE(host.audio.IsOpen());
  EXPECT_EQ(host.audio.Mixer().BufferCount(), 0);
}

}  // namespace
}  // namespace qr::testing
