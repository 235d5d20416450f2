// What the game plays, as the headless output mixed it during a replay.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <filesystem>

#include "platform/audio_mixer.h"
#include "replay.h"

namespace {
namespace fs = std::filesystem;

// The title music as bare libmpg123 decodes it: 44,100 Hz mono.
std::vector<int16_t> TitleMusic() {
  mpg123_init();
  int error = 0;
  mpg123_handle* h = mpg123_new(nullptr, &error);
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(h);
  mpg123_format(h, 44100, MPG123_MONO, MPG123_ENC_SIGNED_16);
  std::vector<int16_t> out;
  std::string path = (fs::path(QR_SOURCE_DIR) / "game" / "pote" / "track012_manabinokuni.mp3").string();
  if (mpg123_open(h, path.c_str()) == MPG123_OK) {
    int16_t buffer[8192];
    size_t done = 0;
    for (;;) {
      int result = mpg123_read(h, buffer, sizeof buffer, &done);
      out.insert(out.end(), buffer, buffer + done / 2);
      if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(h);
  }
  mpg123_delete(h);
  return out;
}

TEST(ReplayAudio, TheTitleScreenPlaysTheTitleMusicAtVolume80) {
  std::string pattern = (fs::temp_directory_path() / "qr-audio-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  fs::path dir = pattern;
  fs::copy(fs::path(QR_SOURCE_DIR) / "game" / "pote", dir / "pote", fs::copy_options::recursive);
  potemaru::ReplayOptions options;
  options.directory = dir.string();
  options.seeded = true;
  options.seed = 7;
  options.frames = 240;  // about four seconds on the title screen
  options.recordAudio = true;
  potemaru::ReplayResult result = potemaru::RunReplay(options);
  fs::remove_all(dir);

  const std::vector<int16_t> music = TitleMusic();
  ASSERT_GT(music.size(), 44100u * 5);
  const std::vector<int16_t>& mix = result.audio;
  ASSERT_GT(mix.size(), 2u * 44100 * 3);
  // Volume 80 is -503 hundredths of a decibel.
  const int32_t gain = qr::platform::MixerGain(-503);
  auto expected = [&](size_t i) { return int16_t((music[i] * gain) >> 15); };
  // The music starts a few samples into the recording, after the game has loaded its sounds.
  size_t start = 0;
  for (; start < 4410; ++start) {
    bool same = true;
    for (size_t i = 0; i < 4410 && same; ++i) same = mix[2 * (start + i)] == expected(i);
    if (same) break;
  }
  ASSERT_LT(start, 4410u) << "the title music is not in the recording";
  for (size_t i = 0; i < start; ++i) ASSERT_EQ(mix[2 * i], 0) << i;
  size_t frames = mix.size() / 2;
  for (size_t i = start; i < frames; ++i) {
    ASSERT_EQ(mix[2 * i], expected(i - start)) << "frame " << i;
    ASSERT_EQ(mix[2 * i + 1], mix[2 * i]) << "frame " << i;
  }
}

}  // namespace
