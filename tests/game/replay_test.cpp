// The game played from input scripts on the headless host, with a fixed seed: every run is the
// same, so a scene of the game can be found at a known frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "potemaru.h"
#include "replay.h"
#include "support/pictures.h"

namespace {
namespace fs = std::filesystem;
using potemaru::InputLine;
using potemaru::ReplayOptions;
using potemaru::ReplayResult;

// With seed 7 and the player standing at x 300, the tenth hit point goes before frame 800.
constexpr uint32_t kSeed = 7;
constexpr int kAfterGameOver = 1000;

class Replay : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qr-game-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    fs::copy(fs::path(QR_SOURCE_DIR) / "game" / "pote", dir / "pote", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(dir); }

  ReplayResult Play(std::vector<InputLine> input, int frames, std::vector<int> shots = {}) {
    ReplayOptions options;
    options.directory = dir.string();
    options.input = std::move(input);
    options.seeded = true;
    options.seed = kSeed;
    options.frames = frames;
    options.shotFrames = std::move(shots);
    return potemaru::RunReplay(options);
  }
  // Click to start at frame 20, stand at x 300.
  static std::vector<InputLine> StartAndStand() {
    return {{0, 300, 300, 0, {}}, {20, 300, 300, 1, {}}, {21, 300, 300, 0, {}}};
  }
  std::string SaveBytes() {
    std::ifstream file(dir / "save.save", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void PutSave(const std::string& bytes) { std::ofstream(dir / "save.save", std::ios::binary) << bytes; }
  qr::testing::Picture Asset(const std::string& name) {
    qr::testing::Picture p;
    EXPECT_TRUE(qr::testing::ReadPng(dir / "pote" / name, p));
    return p;
  }

  // Whether a frame is the screen of a picture: the picture everywhere but in the lines where
  // that screen writes its texts, and something written there.
  struct Lines {
    int x, y, width, height;
  };
  bool ShowsScreen(const potemaru::Frame& frame, const std::string& picture, std::vector<Lines> texts) {
    qr::testing::Picture p = Asset(picture);
    if (frame.width != p.width || frame.height != p.height) return false;
    bool written = false;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        bool inText = false;
        for (const Lines& l : texts) inText |= x >= l.x && x < l.x + l.width && y >= l.y && y < l.y + l.height;
        bool same = frame.pixels[size_t(y) * size_t(p.width) + size_t(x)] == p.at(x, y);
        if (!inText && !same) return false;
        written |= inText && !same;
      }
    return written;
  }
  // The texts are cells 32 pixels high (size 29 with an edge of 1).
  bool ShowsTitle(const potemaru::Frame& frame) { return ShowsScreen(frame, "taitol.png", {{0, 0, 640, 32}, {100, 340, 540, 62}}); }
  bool ShowsGameOver(const potemaru::Frame& frame) { return ShowsScreen(frame, "go.png", {{170, 40, 470, 32}, {120, 100, 520, 62}}); }

  fs::path dir;
};

TEST_F(Replay, TheScreensShowTheirTextsWhereTheGamePutsThem) {
  ReplayResult r = Play(StartAndStand(), kAfterGameOver, {0, 300, kAfterGameOver});
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(r.shots.size(), 3u);
  EXPECT_TRUE(ShowsTitle(r.shots[0]));
  EXPECT_TRUE(ShowsGameOver(r.shots[kAfterGameOver]));
  const char* names[] = {"game_title", "game_playing", "game_over"};
  int frames[] = {0, 300, kAfterGameOver};
  for (int i = 0; i < 3; ++i) {
    qr::testing::Picture shot(r.shots[frames[i]].width, r.shots[frames[i]].height);
    shot.pixels = r.shots[frames[i]].pixels;
    EXPECT_EQ(qr::testing::CompareWithGolden(shot, names[i]), "");
  }
  EXPECT_FALSE(fs::exists(dir / "save.save"));
}

TEST_F(Replay, EscapeEndsTheGameWithStatusZero) {
  ReplayResult r = Play({{0, 300, 300, 0, {}}, {30, 300, 300, 0, {1}}}, -1);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.framesPlayed, 31);
  EXPECT_FALSE(fs::exists(dir / "save.save"));
}

TEST_F(Replay, LeavingGameOverWritesTheScore) {
  std::vector<InputLine> input = StartAndStand();
  input.push_back({kAfterGameOver, 300, 300, 1, {}});
  input.push_back({kAfterGameOver + 1, 300, 300, 0, {}});
  ReplayResult first = Play(input, kAfterGameOver + 10, {kAfterGameOver + 5});
  std::string saved = SaveBytes();
  ASSERT_EQ(saved.size(), 4u);
  // Back on the title screen, not in a new game.
  EXPECT_TRUE(ShowsTitle(first.shots[kAfterGameOver + 5]));

  // A stored score equal to the new one is written again (the longer file becomes four bytes);
  // a higher one is left alone.
  PutSave(saved + "x");
  Play(input, kAfterGameOver + 10);
  EXPECT_EQ(SaveBytes(), saved);
  std::string higher = saved;
  higher[0] = char(uint8_t(higher[0]) + 1);
  PutSave(higher + "x");
  Play(input, kAfterGameOver + 10);
  EXPECT_EQ(SaveBytes(), higher + "x");
}

TEST_F(Replay, ButtonHeldThroughTheEndNeitherLeavesGameOverNorSkipsTheTitle) {
  // Pressed at frame 20 and never let go: the game starts, ends, and stays on game over.
  ReplayResult held = Play({{0, 300, 300, 0, {}}, {20, 300, 300, 1, {}}}, kAfterGameOver + 100,
                           {kAfterGameOver + 100});
  EXPECT_FALSE(fs::exists(dir / "save.save"));
  EXPECT_TRUE(ShowsGameOver(held.shots[kAfterGameOver + 100]));
  // Let go and press again: game over is left, once; the title stays although the button is held.
  ReplayResult again = Play({{0, 300, 300, 0, {}},
                             {20, 300, 300, 1, {}},
                             {kAfterGameOver, 300, 300, 0, {}},
                             {kAfterGameOver + 1, 300, 300, 1, {}}},
                            kAfterGameOver + 60, {kAfterGameOver + 60});
  EXPECT_EQ(SaveBytes().size(), 4u);
  EXPECT_TRUE(ShowsTitle(again.shots[kAfterGameOver + 60]));
}

// A touchpad tap, or a click sent as press and release at once: the button is down only while
// the game sleeps between two frames, and the game still sees it once.
TEST_F(Replay, ButtonDownOnlyBetweenTwoFramesStartsTheGame) {
  ReplayResult r = Play({{0, 300, 300, 0, {}}, {20, 300, 300, 0, {}, 1}}, 60, {19, 60});
  EXPECT_TRUE(ShowsTitle(r.shots[19]));
  EXPECT_FALSE(ShowsTitle(r.shots[60]));
  EXPECT_FALSE(ShowsGameOver(r.shots[60]));
  // Seen once: the next frames read the button up, so game over later needs a press of its own.
  ReplayResult played = Play({{0, 300, 300, 0, {}}, {20, 300, 300, 0, {}, 1}},
                             kAfterGameOver + 60, {kAfterGameOver + 60});
  EXPECT_TRUE(ShowsGameOver(played.shots[kAfterGameOver + 60]));
  // A tap on game over leaves it, the same way.
  ReplayResult left = Play({{0, 300, 300, 0, {}},
                            {20, 300, 300, 0, {}, 1},
                            {kAfterGameOver, 300, 300, 0, {}, 1}},
                           kAfterGameOver + 60, {kAfterGameOver + 60});
  EXPECT_TRUE(ShowsTitle(left.shots[kAfterGameOver + 60]));
  EXPECT_EQ(SaveBytes().size(), 4u);
}

TEST_F(Replay, EscapeDownOnlyBetweenTwoFramesEndsTheGame) {
  ReplayResult tapped = Play({{0, 300, 300, 0, {}}, {30, 300, 300, 0, {}, 0, {1}}}, 200);
  EXPECT_EQ(tapped.status, 0);
  EXPECT_EQ(tapped.framesPlayed, 31);  // it ends after the pump of the frame it was tapped in
  // Another key tapped ends nothing.
  ReplayResult other = Play({{0, 300, 300, 0, {}}, {30, 300, 300, 0, {}, 0, {0x39}}}, 100);
  EXPECT_EQ(other.framesPlayed, 101);
}

TEST_F(Replay, ClosingTheWindowOnGameOverSavesNothing) {
  ReplayResult r = Play(StartAndStand(), kAfterGameOver, {kAfterGameOver});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(ShowsGameOver(r.shots[kAfterGameOver]));
  EXPECT_FALSE(fs::exists(dir / "save.save"));
}

TEST_F(Replay, CursorPushedPastTheSidesIsBroughtBack) {
  ReplayResult r = Play({{0, 300, 300, 0, {}},
                         {20, 300, 300, 1, {}},
                         {21, -40, 250, 0, {}},
                         {40, 620, 260, 0, {}}},
                        60);
  // The game reads the cursor at a frame's start and moves it back before the frame's pump.
  EXPECT_EQ(r.cursorAtPump[30], std::make_pair(0, 250));
  EXPECT_EQ(r.cursorAtPump[50], std::make_pair(560, 260));
  // On the title screen the cursor is left where it is.
  EXPECT_EQ(r.cursorAtPump[5], std::make_pair(300, 300));
}

TEST_F(Replay, SameSeedSameGame) {
  std::vector<InputLine> input = StartAndStand();
  ReplayResult a = Play(input, 300, {299});
  ReplayResult b = Play(input, 300, {299});
  EXPECT_TRUE(a.shots[299].pixels == b.shots[299].pixels);
  // The playing screen shows the field behind the falling things.
  EXPECT_FALSE(a.shots[299].pixels == Asset("ki.png").pixels);
}

struct TouchCase {
  int ix, iy, w, h, playerX;
  bool touches;
};

TEST(Rules, TouchTestIsStrictOnEveryEdge) {
  const TouchCase cases[] = {
      {100, 400, 30, 35, 100, false},  // left edges equal: passes through
      {99, 400, 30, 35, 100, true},
      {101, 400, 30, 35, 100, true},
      {150, 400, 30, 35, 100, true},   // the item's left edge inside the player
      {151, 400, 30, 35, 100, false},  // 100 + 51
      {70, 400, 30, 35, 100, false},   // the item ends where the player begins
      {100 - 29, 400, 30, 35, 100, true},
      {120, 380, 30, 35, 100, false},  // top exactly 380
      {120, 346, 30, 35, 100, true},   // 346 < 380 < 381
      {120, 345, 30, 35, 100, false},  // 345 + 35 = 380
      {120, 463, 30, 35, 100, true},
      {120, 464, 30, 35, 100, false},
  };
  for (const TouchCase& c : cases)
    EXPECT_EQ(potemaru::Touches(c.ix, c.iy, c.w, c.h, c.playerX), c.touches)
        << c.ix << "," << c.iy << " player " << c.playerX;
}

}  // namespace
