// The game played with pictures of plain colours, so that every thing on screen can be told by
// its colour: the hit animation, frame by frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "replay.h"
#include "support/pictures.h"

namespace {
namespace fs = std::filesystem;
using qr::testing::Picture;

constexpr uint32_t kField = 0xFF406080u, kHazard = 0xFF30C030u, kPotato = 0xFFC08040u;
// No cell is white or black: those are the colours of the texts.
constexpr uint32_t kCells[5] = {0xFF010203u, 0xFFFF0000u, 0xFFFF8000u, 0xFFFFFF00u, 0xFFFF00FFu};

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool Empty() const { return right < left; }
};

// Where each colour shows in a frame, as the box around its pixels.
std::map<uint32_t, Box> Boxes(const potemaru::Frame& frame) {
  std::map<uint32_t, Box> boxes;
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x) {
      Box& b = boxes[frame.pixels[size_t(y) * size_t(frame.width) + size_t(x)]];
      b.left = std::min(b.left, x);
      b.top = std::min(b.top, y);
      b.right = std::max(b.right, x);
      b.bottom = std::max(b.bottom, y);
    }
  return boxes;
}

class PlainColourGame : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qr-plain-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    fs::create_directories(dir / "pote");
    auto put = [&](const char* name, const Picture& p) { ASSERT_TRUE(qr::testing::WritePng(dir / "pote" / name, p, false)); };
    put("taitol.png", Picture(640, 480, 0xFF202020u));
    put("go.png", Picture(640, 480, 0xFF600000u));
    put("ki.png", Picture(640, 480, kField));
    put("kage.png", Picture(51, 84, 0xFF000000u));  // all key colour: nothing shows
    put("pote.png", Picture(30, 35, kPotato));
    put("in.png", Picture(60, 70, kHazard));
    put("gb.png", Picture(40, 40, 0xFFE0E000u));
    Picture strip(300, 60);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 300; ++x) strip.at(x, y) = kCells[x / 60];
    put("hit.png", strip);
    Picture man(102, 84, 0xFF0000F0u);
    put("man.png", man);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(PlainColourGame, EveryHitShowsCellsOneToFourInPlace) {
  constexpr int kFrames = 900;
  potemaru::ReplayOptions options;
  options.directory = dir.string();
  options.seeded = true;
  options.seed = 7;
  options.frames = kFrames;
  options.input = {{0, 300, 300, 0, {}}, {20, 300, 300, 1, {}}, {21, 300, 300, 0, {}}};
  for (int f = 0; f <= kFrames; ++f) options.shotFrames.push_back(f);
  potemaru::ReplayResult r = potemaru::RunReplay(options);
  ASSERT_EQ(int(r.shots.size()), kFrames + 1);

  int sequences = 0;
  for (int f = 1; f + 4 <= kFrames; ++f) {
    std::map<uint32_t, Box> now = Boxes(r.shots[f]), before = Boxes(r.shots[f - 1]);
    if (!now.count(kCells[1]) || before.count(kCells[1])) continue;
    if (now.count(kField) == 0) continue;  // the game-over frame paints over everything
    // A hit: cell 1 over the hazard that was touched, then cells 2, 3 and 4 in the next frames.
    // Other things may pass over part of a cell, but all four lie in one 60 x 60 square: the
    // hazard stands still (falling, it would drift 7 pixels a frame).
    ++sequences;
    Box all = now[kCells[1]];
    for (int k = 2; k <= 4; ++k) {
      std::map<uint32_t, Box> later = Boxes(r.shots[f + k - 1]);
      if (!later.count(kField)) break;  // the game ended meanwhile
      ASSERT_TRUE(later.count(kCells[k])) << "frame " << f + k - 1 << " lacks cell " << k;
      const Box& b = later[kCells[k]];
      all = Box{std::min(all.left, b.left), std::min(all.top, b.top), std::max(all.right, b.right),
                std::max(all.bottom, b.bottom)};
    }
    EXPECT_LE(all.right - all.left, 59) << "hit at frame " << f;
    EXPECT_LE(all.bottom - all.top, 59) << "hit at frame " << f;
    EXPECT_FALSE(Boxes(r.shots[f]).count(kCells[0])) << "cell 0 is never drawn";
  }
  // Ten hit points go in this game, and every loss shows its animation.
  EXPECT_GE(sequences, 10);
}

}  // namespace
