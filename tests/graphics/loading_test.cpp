#include <fstream>

#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "graphics_fixture.h"

namespace {
using namespace qr::graphics;
using qr::testing::GraphicsTest;
using qr::testing::Picture;
using qr::testing::Sjis;

// A strip of cells, each a solid colour of its own, on a black ground.
Picture Strip(int cells, int cellWidth, int cellHeight) {
  Picture p(cells * cellWidth, cellHeight);
  for (int y = 0; y < cellHeight; ++y)
    for (int x = 0; x < cells * cellWidth; ++x) {
      int c = x / cellWidth;
      p.at(x, y) = 0xFF000000u | uint32_t(40 * (c + 1)) << 16 | uint32_t(200 - 30 * c) << 8 | uint32_t(y);
    }
  return p;
}

class Loading : public GraphicsTest {};

TEST_F(Loading, SplitStripGivesOneHandlePerCellLeftToRight) {
  Start();
  Put("pote/hit.png", Strip(5, 60, 60));
  int cells[6] = {-7, -7, -7, -7, -7, -7};
  ASSERT_EQ(LoadSplitGraphic(Sjis("pote\\hit.png").c_str(), 5, 5, 1, 60, 60, cells, 0), 0);
  for (int i = 0; i < 5; ++i) {
    GraphicRecord* g = GetGraphic(cells[i]);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->x, 60 * i);
    EXPECT_EQ(g->y, 0);
    EXPECT_EQ(g->width, 60);
    EXPECT_EQ(g->image, GetGraphic(cells[0])->image);  // one upload shared by every cell
  }
  EXPECT_EQ(cells[5], -7);
  // Drawn one above the other, the cells show their own parts of the strip.
  ClearScreen();
  for (int i = 0; i < 5; ++i) DrawGraphic(0, 60 * i, cells[i], 0);
  Picture shown = Shown();
  Picture strip = Strip(5, 60, 60);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(shown.at(30, 60 * i + 7), strip.at(60 * i + 30, 7)) << i;
  Picture column(60, 300);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 60; ++x) column.at(x, y) = shown.at(x, y);
  EXPECT_EQ(qr::testing::CompareWithGolden(column, "split_cells"), "");
}

TEST_F(Loading, FewerCellsThanTheGridLeavesTheRestUntouched) {
  Start();
  Put("grid.png", Strip(2, 30, 60));
  int cells[4] = {-7, -7, -7, -7};
  ASSERT_EQ(LoadSplitGraphic("grid.png", 3, 2, 2, 30, 30, cells, 0), 0);
  EXPECT_EQ(GetGraphic(cells[0])->x, 0);
  EXPECT_EQ(GetGraphic(cells[1])->x, 30);
  EXPECT_EQ(GetGraphic(cells[2])->y, 30);
  EXPECT_EQ(cells[3], -7);
}

TEST_F(Loading, CellsPastTheEdgeAreCutOrFailTheWholeCall) {
  Start();
  Put("wide.png", Strip(1, 100, 60));
  int cells[3] = {-7, -7, -7};
  ASSERT_EQ(LoadSplitGraphic("wide.png", 2, 2, 1, 60, 60, cells, 0), 0);
  int w = 0;
  GetGraphicSize(cells[1], &w, nullptr);
  EXPECT_EQ(w, 40);
  int live = GraphicTable().LiveCount();
  int more[3] = {-7, -7, -7};
  EXPECT_EQ(LoadSplitGraphic("wide.png", 3, 3, 1, 60, 60, more, 0), -1);
  EXPECT_EQ(GraphicTable().LiveCount(), live);  // nothing left behind
  EXPECT_EQ(LogLines().back(), "グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage");
}

TEST_F(Loading, MissingFilesAreLogged) {
  Start();
  EXPECT_EQ(LoadGraphic(Sjis("pote\\nothing.png").c_str(), 0), -1);
  EXPECT_EQ(LogLines().back(), "グラフィックファイル pote\\nothing.png がありません");
  int cells[2];
  EXPECT_EQ(LoadSplitGraphic("gone.png", 2, 2, 1, 8, 8, cells, 0), -1);
  EXPECT_EQ(LogLines().back(), "右記のグラフィックファイルのロードに失敗しました：gone.png");
  { std::ofstream(dir / "junk.png") << "not a picture"; }
  EXPECT_EQ(LoadGraphic("junk.png", 0), -1);
  std::vector<std::string> lines = LogLines();
  // That message carries its own line end and the formatted write adds another.
  EXPECT_EQ(lines[lines.size() - 2], "右記のグラフィックファイルのロードに失敗しました：junk.png ");
  EXPECT_EQ(lines.back(), "");
}

TEST_F(Loading, AlphaCompanionFileGivesTheAlpha) {
  Start();
  Picture colour(4, 1, 0xFF2040FFu);
  Picture alpha(4, 1);
  alpha.pixels = {0xFF000000u, 0xFF808080u, 0xFFFFFFFFu, 0xFF000000u};  // red channel = alpha
  Put("pote/taitol.png", colour);
  Put("pote/taitol_a.png", alpha);
  Put("plain.png", Picture(4, 1, 0xFF000000u));
  Picture background(640, 480, 0xFF102030u);
  Put("bg.png", background);
  int bg = LoadGraphic("bg.png", 0);
  int h = LoadGraphic(Sjis("pote\\taitol.png").c_str(), 0);
  ASSERT_NE(h, -1);
  EXPECT_TRUE(GetGraphic(h)->image->info.alpha);
  int black = LoadGraphic("plain.png", 0);  // no companion: black is the key colour
  EXPECT_FALSE(GetGraphic(black)->image->info.alpha);
  ClearScreen();
  DrawGraphic(0, 0, bg, 0);
  DrawGraphic(0, 0, h, 1);
  DrawGraphic(0, 1, black, 1);
  Picture shown = Shown();
  EXPECT_EQ(shown.at(0, 0), 0xFF102030u);  // alpha 0
  EXPECT_EQ(shown.at(2, 0), 0xFF2040FFu);  // alpha 255
  EXPECT_NEAR(int((shown.at(1, 0) >> 16) & 0xFF), (0x20 * 128 + 0x10 * 127) / 255, 1);
  EXPECT_EQ(shown.at(0, 1), 0xFF102030u);  // the key colour skipped
}

TEST_F(Loading, LostDeviceIsMadeAgainAndEveryCellRestoredFromItsFile) {
  Start();
  Put("cells.png", Strip(4, 16, 16));
  Put("whole.png", Strip(1, 32, 8));
  int cells[4];
  ASSERT_EQ(LoadSplitGraphic("cells.png", 4, 4, 1, 16, 16, cells, 0), 0);
  int whole = LoadGraphic("whole.png", 0);
  auto draw = [&] {
    ClearScreen();
    for (int i = 0; i < 4; ++i) DrawGraphic(20 * i, 0, cells[i], 0);
    DrawGraphic(0, 40, whole, 0);
  };
  draw();
  Picture before = Shown();

  // The host takes the device away: presenting fails, the window procedure re-makes it on the
  // next activation, and the graphics come back from their files.
  host.graphics.Lose();
  draw();
  EXPECT_EQ(FlipScreen(), -1);
  host.window.Push(qr::platform::Message{qr::platform::MessageKind::Activate, 1, 0});
  PumpMessages();
  EXPECT_FALSE(host.graphics.Lost());
  std::vector<std::string> lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "グラフィックを復帰します"), lines.end());
  draw();
  Picture after = Shown();
  EXPECT_TRUE(after.pixels == before.pixels);
}

TEST_F(Loading, CellsSurviveTheirParentAndLiveOnTheirFile) {
  Start();
  Put("strip.png", Strip(3, 10, 10));
  int cells[3];
  ASSERT_EQ(LoadSplitGraphic("strip.png", 3, 3, 1, 10, 10, cells, 0), 0);
  // The whole picture was deleted after cutting; each cell remembers the file by its full path
  // and where in it the cell lies.
  for (int i = 0; i < 3; ++i) {
    GraphicRecord* g = GetGraphic(cells[i]);
    ASSERT_NE(g->file, nullptr);
    std::string path = g->file->path;
    EXPECT_EQ(path.substr(0, 1), "/");
    EXPECT_EQ(path.substr(path.size() - 9), "strip.png");
    EXPECT_EQ(g->fileX, 10 * i);
  }
}

}  // namespace
