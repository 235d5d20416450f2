// The qrsnd tool run as a person runs it; its play command on SDL's disk audio driver, so that
// the real output path is heard too.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {
namespace fs = std::filesystem;

struct SndRun {
  int status;
  std::string out;
};

SndRun Qrsnd(const std::string& arguments, const std::string& environment = "") {
  std::string command = environment + " " + std::string(QR_BUILD_DIR) + "/tools/qrsnd " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  SndRun run{-1, ""};
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<int16_t> ReadSamples(const fs::path& path, size_t skip) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() > skip ? (bytes.size() - skip) / 2 : 0);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + skip, samples.size() * 2);
  return samples;
}

class QrsndTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qrsnd-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  const std::string effect = std::string(QR_SOURCE_DIR) + "/game/pote/life_21_huta.mp3";
};

TEST_F(QrsndTool, InfoNamesTheReaderAndTheFormats) {
  SndRun run = Qrsnd("info " + effect);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("reader: MP3\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("source: MPEG audio, 1 channel(s), 44100 Hz"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("pcm: 1 channel(s), 44100 Hz, 16 bits\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("length: "), std::string::npos);

  std::ofstream(dir / "text.wav") << "not a sound";
  run = Qrsnd("info " + (dir / "text.wav").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("is no sound file"), std::string::npos) << run.out;
}

TEST_F(QrsndTool, DecodeWritesTheConvertedPcmAsWave) {
  fs::path out = dir / "out.wav";
  ASSERT_EQ(Qrsnd("decode " + effect + " " + out.string()).status, 0);
  SndRun original = Qrsnd("info " + effect), decoded = Qrsnd("info " + out.string());
  EXPECT_NE(decoded.out.find("reader: PCM WAVE\n"), std::string::npos) << decoded.out;
  auto length = [](const std::string& text) { return text.substr(text.find("length: ")); };
  EXPECT_EQ(length(decoded.out), length(original.out));
}

TEST_F(QrsndTool, PlayOnTheDiskDriverWritesTheDecodedSound) {
  fs::path wave = dir / "effect.wav", raw = dir / "played.raw";
  ASSERT_EQ(Qrsnd("decode " + effect + " " + wave.string()).status, 0);
  SndRun run = Qrsnd("play " + effect, "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + raw.string());
  ASSERT_EQ(run.status, 0) << run.out;
  std::vector<int16_t> sound = ReadSamples(wave, 44);  // mono
  std::vector<int16_t> played = ReadSamples(raw, 0);   // 44,100 Hz stereo
  ASSERT_FALSE(sound.empty());
  size_t first = 0;
  while (first < sound.size() && sound[first] == 0) ++first;
  size_t start = 0;
  while (start < played.size() / 2 && played[2 * start] == 0) ++start;
  ASSERT_LT(start, played.size() / 2) << "nothing was played";
  ASSERT_GE(start, first);
  start -= first;  // where the sound's sample 0 went
  size_t compared = 0;
  for (size_t i = 0; i < sound.size() && 2 * (start + i) + 1 < played.size(); ++i, ++compared) {
    ASSERT_EQ(played[2 * (start + i)], sound[i]) << i;
    ASSERT_EQ(played[2 * (start + i) + 1], sound[i]) << i;
  }
  EXPECT_EQ(compared, sound.size()) << "the whole sound reached the device";
}

}  // namespace
