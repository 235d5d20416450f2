#include <cstring>

#include "graphics/draw_settings.h"
#include "graphics/draw_state.h"
#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "graphics_fixture.h"

namespace {
using namespace qr::graphics;
using qr::testing::GraphicsTest;

// A picture in memory: 0xRRGGBB pixels from fn(x, y), with or without an alpha channel.
template <typename Fn>
qr::image::BaseImage MakeImage(int w, int h, bool alpha, Fn fn) {
  qr::image::BaseImage image{};
  if (alpha)
    qr::image::AllocArgb8ImagePixels(w, h, &image);
  else
    qr::image::AllocXrgb8ImagePixels(w, h, &image);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = fn(x, y);
      std::memcpy(image.pixels + size_t(y) * size_t(image.pitch) + size_t(x) * 4, &p, 4);
    }
  return image;
}

class GraphicHandles : public GraphicsTest {
 protected:
  int Upload(int w, int h) {
    qr::image::BaseImage image = MakeImage(w, h, false, [](int x, int y) { return uint32_t(x * 7 + y * 3) & 0xFFFFFF; });
    int handle = CreateGraphicForImage(&image, nullptr);
    EXPECT_NE(handle, -1);
    EXPECT_EQ(TransferImageToGraphic(handle, &image, nullptr, TransferRect{0, 0, w, h}, 0, 0, 0, nullptr), 0);
    qr::image::FreeImagePixels(&image);
    return handle;
  }
  std::vector<std::pair<int, int>> TextureSizes(int handle) {
    std::vector<std::pair<int, int>> sizes;
    SharedImage* s = GetGraphic(handle)->image;
    for (int i = 0; i < s->textureCount; ++i)
      sizes.emplace_back(s->textures[i].textureWidth, s->textures[i].textureHeight);
    return sizes;
  }
};

TEST_F(GraphicHandles, SplitTextureLength) {
  Start();
  Device().maxTextureSize = 2048;
  struct Case {
    int length;
    std::vector<int> pieces;
  };
  const Case cases[] = {{640, {512, 128}}, {480, {512}}, {300, {512}}, {60, {64}}, {5, {8}},
                        {1000, {1024}}, {1300, {1024, 256, 16, 8}}, {2048, {2048}}, {4000, {2048, 2048}}};
  for (const Case& c : cases) {
    int sizes[32];
    int n = SplitTextureLength(c.length, false, sizes);
    EXPECT_EQ(std::vector<int>(sizes, sizes + n), c.pieces) << c.length;
  }
  int sizes[32];
  EXPECT_EQ(SplitTextureLength(640, true, sizes), 1);  // drawable graphics take one texture
  EXPECT_EQ(sizes[0], 1024);
}

TEST_F(GraphicHandles, ScreenSizedPictureTakesTwoTextures) {
  Start();
  int h = Upload(640, 480);
  EXPECT_EQ(TextureSizes(h), (std::vector<std::pair<int, int>>{{512, 512}, {128, 512}}));
  SharedImage* s = GetGraphic(h)->image;
  EXPECT_EQ(s->textures[1].x, 512);
  EXPECT_EQ(s->textures[0].usedHeight, 480);
  EXPECT_EQ(s->textures[1].usedWidth, 128);
  EXPECT_EQ(GetGraphic(h)->tileCount, 2);
}

TEST_F(GraphicHandles, CellOfAStripHasOneTileWithItsTextureCoordinates) {
  Start();
  int strip = Upload(300, 60);
  EXPECT_EQ(TextureSizes(strip), (std::vector<std::pair<int, int>>{{512, 64}}));
  int cell = DeriveGraphic(60, 0, 60, 60, strip);
  ASSERT_NE(cell, -1);
  GraphicRecord* g = GetGraphic(cell);
  ASSERT_EQ(g->tileCount, 1);
  EXPECT_FLOAT_EQ(g->tiles[0].corners[0].u, 60.0f / 512);
  EXPECT_FLOAT_EQ(g->tiles[0].corners[3].u, 120.0f / 512);
  EXPECT_FLOAT_EQ(g->tiles[0].corners[3].v, 60.0f / 64);
  int w, h;
  GetGraphicSize(DeriveGraphic(250, 0, 60, 60, strip), &w, &h);
  EXPECT_EQ(w, 50);  // cut at the parent's edge
  EXPECT_EQ(h, 60);
  EXPECT_EQ(DeriveGraphic(300, 0, 60, 60, strip), -1);
  EXPECT_EQ(DeriveGraphic(-1, 0, 60, 60, strip), -1);
}

TEST_F(GraphicHandles, SquareOnlyDeviceSplitsWideTiles) {
  host.graphics.settings.capabilities.squareTexturesOnly = true;
  Start();
  int strip = Upload(300, 60);
  std::vector<std::pair<int, int>> sizes = TextureSizes(strip);
  ASSERT_EQ(sizes.size(), 8u);
  for (auto s : sizes) EXPECT_EQ(s, std::make_pair(64, 64));
  SharedImage* s = GetGraphic(strip)->image;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s->textures[i].x, 64 * i);
  EXPECT_EQ(GetGraphic(strip)->tileCount, 5);  // the five that hold the 300 columns
}

TEST_F(GraphicHandles, CellsOutliveTheirParentAndTheLastCellFreesTheTextures) {
  Start();
  int before = host.graphics.LiveObjects();
  int strip = Upload(300, 60);
  int a = DeriveGraphic(0, 0, 60, 60, strip), b = DeriveGraphic(60, 0, 60, 60, strip);
  int flag = -1;
  SetGraphicDeletionFlag(strip, &flag);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(DeleteGraphic(strip), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(DrawGraphic(0, 0, a, 0), 0);
  EXPECT_GT(host.graphics.LiveObjects(), before);
  DeleteGraphic(a);
  EXPECT_GT(host.graphics.LiveObjects(), before);
  DeleteGraphic(b);
  EXPECT_EQ(host.graphics.LiveObjects(), before);
  EXPECT_EQ(DeleteGraphic(b), -1);
  EXPECT_EQ(DrawGraphic(0, 0, b, 0), -1);
}

TEST_F(GraphicHandles, InvalidHandlesAreRefused) {
  Start();
  int h = Upload(8, 8);
  for (int bad : {-1, 0, h + 1, h ^ (1 << 16), 0x10000000 | (h & 0xFFFF)}) {
    EXPECT_EQ(DrawGraphic(0, 0, bad, 0), -1);
    EXPECT_EQ(DeleteGraphic(bad), -1);
    EXPECT_EQ(GetGraphicSize(bad, nullptr, nullptr), -1);
  }
  int w, hh;
  EXPECT_EQ(GetGraphicSize(-4, &w, &hh), 0);
  EXPECT_EQ(w, 640);
}

TEST_F(GraphicHandles, FailedTextureCreationLogsAndLeavesNoHandle) {
  Start();
  host.graphics.settings.textureCreationsLeft = 1;  // the first of two textures only
  qr::image::BaseImage image = MakeImage(640, 480, false, [](int, int) { return 0u; });
  int live = GraphicTable().LiveCount();
  EXPECT_EQ(CreateGraphicForImage(&image, nullptr), -1);
  qr::image::FreeImagePixels(&image);
  EXPECT_EQ(GraphicTable().LiveCount(), live);
  EXPECT_EQ(LogLines().back(), "テクスチャの作成に失敗しました");
}

TEST_F(GraphicHandles, DrawableGraphicAsDrawTarget) {
  Start();
  Creation().makeDrawable = true;
  int target = CreateEmptyGraphic(64, 32);
  Creation().makeDrawable = false;
  ASSERT_NE(target, -1);
  EXPECT_EQ(FillGraphic(target, 255, 0, 0, 255), 0);
  EXPECT_EQ(SetDrawTarget(target), 0);
  int w, h;
  GetGraphicSize(target, &w, &h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(SetDrawTarget(Upload(8, 8)), -1);  // not drawable
  EXPECT_EQ(SetDrawTarget(-2), 0);
  // The drawable graphic, red, drawn on the screen.
  ClearScreen();
  recorder->Clear();
  DrawGraphic(10, 10, target, 0);
  qr::testing::Picture shown = Shown();
  EXPECT_EQ(shown.at(10, 10), 0xFFFF0000u);
  EXPECT_EQ(shown.at(73, 41), 0xFFFF0000u);
  EXPECT_EQ(shown.at(74, 41), 0xFF000000u);
}

}  // namespace
