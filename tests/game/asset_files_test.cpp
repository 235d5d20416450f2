// The game's own asset files: the names, picture sizes and pixel layouts the game loads them
// with, and MP3 streams that decode to whole frames from their first byte (no tag frame, no
// lead-in), so the music loops without a gap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// This file lives in tests/game/; the assets in game/.
const std::string kGameDir =
    (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "game").string() + "/";

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t BigEndian32(const std::vector<unsigned char>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

TEST(AssetFiles, PicturesHaveTheSizesAndChannelsTheGameDrawsThemWith) {
  constexpr int kRgb = 2, kRgba = 6;  // PNG colour types
  struct Case {
    const char* path;
    uint32_t width, height;
    int colourType;
  } cases[] = {
      {"pote/taitol.png", 640, 480, kRgb}, {"pote/go.png", 640, 480, kRgb},
      {"pote/ki.png", 640, 480, kRgb},     {"pote/kage.png", 51, 84, kRgba},
      {"pote/pote.png", 30, 35, kRgba},    {"pote/in.png", 60, 70, kRgba},
      {"pote/gb.png", 40, 40, kRgba},      {"pote/hit.png", 5 * 60, 60, kRgba},
      {"pote/man.png", 2 * 51, 84, kRgba}, {"icon.png", 32, 32, kRgba},
  };
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<unsigned char> png = ReadAll(kGameDir + c.path);
    ASSERT_GE(png.size(), 33u);
    EXPECT_TRUE(std::equal(std::begin(kSignature), std::end(kSignature), png.begin()));
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(BigEndian32(png, 16), c.width);
    EXPECT_EQ(BigEndian32(png, 20), c.height);
    EXPECT_EQ(png[24], 8) << "bit depth";
    EXPECT_EQ(png[25], c.colourType);
    EXPECT_EQ(png[28], 0) << "interlace";
  }
}

TEST(AssetFiles, SoundsAreBareMpeg1LayerThreeFramesThatEndExactly) {
  const char* names[] = {"track008_caravan.mp3", "track012_manabinokuni.mp3", "life_21_huta.mp3",
                         "attack_12_byun.mp3", "future_06_bayoun.mp3"};
  static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  size_t totalBytes = 0;
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::vector<unsigned char> mp3 = ReadAll(kGameDir + "pote/" + name);
    ASSERT_GT(mp3.size(), 128u);
    totalBytes += mp3.size();
    size_t at = 0, frames = 0;
    while (at + 4 <= mp3.size()) {
      // Sync, MPEG-1, Layer III, no CRC; 44100 Hz; one channel.
      ASSERT_EQ(mp3[at], 0xFF) << "frame " << frames;
      ASSERT_EQ(mp3[at + 1], 0xFB) << "frame " << frames;
      ASSERT_EQ((mp3[at + 2] >> 2) & 3, 0) << "frame " << frames;
      ASSERT_EQ(mp3[at + 3] >> 6, 3) << "frame " << frames;
      int kbps = kKbps[mp3[at + 2] >> 4];
      ASSERT_GT(kbps, 0);
      if (frames == 0) {
        // An encoder's info frame would decode as a stretch of silence at every loop.
        std::string head(mp3.begin() + at, mp3.begin() + std::min(at + 64, mp3.size()));
        EXPECT_EQ(head.find("Xing"), std::string::npos);
        EXPECT_EQ(head.find("Info"), std::string::npos);
      }
      at += 144000 * kbps / 44100 + ((mp3[at + 2] >> 1) & 1);
      ++frames;
    }
    EXPECT_EQ(at, mp3.size()) << "no tag or partial frame after the last frame";
    EXPECT_GT(frames, 5u);
  }
  EXPECT_LT(totalBytes, 2u * 1024 * 1024);
}

}  // namespace
