#include <cstring>

#include "graphics/draw_settings.h"
#include "graphics/draw_state.h"
#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "graphics_fixture.h"

namespace {
using namespace qr::graphics;
using qr::testing::GraphicsTest;
using qr::testing::Picture;

class Drawing : public GraphicsTest {
 protected:
  // Makes a graphic from a picture (alpha: keep its alpha channel).
  int Graphic(const Picture& p, bool alpha) {
    qr::image::BaseImage image{};
    if (alpha)
      qr::image::AllocArgb8ImagePixels(p.width, p.height, &image);
    else
      qr::image::AllocXrgb8ImagePixels(p.width, p.height, &image);
    for (int y = 0; y < p.height; ++y)
      std::memcpy(image.pixels + size_t(y) * size_t(image.pitch), &p.pixels[size_t(y) * size_t(p.width)],
                  size_t(p.width) * 4);
    int handle = CreateGraphicForImage(&image, nullptr);
    EXPECT_EQ(TransferImageToGraphic(handle, &image, nullptr, TransferRect{0, 0, p.width, p.height}, 0, 0, 0, nullptr), 0);
    qr::image::FreeImagePixels(&image);
    return handle;
  }
  // The vertices of the n-th DrawPrimitiveUP call.
  std::vector<Vertex1> Vertices(size_t n) {
    auto calls = recorder->Named("DrawPrimitiveUP");
    if (n >= calls.size()) return {};
    std::vector<Vertex1> v(calls[n]->vertices.size() / sizeof(Vertex1));
    std::memcpy(v.data(), calls[n]->vertices.data(), v.size() * sizeof(Vertex1));
    return v;
  }
};

Picture Gradient(int w, int h) {
  Picture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = 0xFF000000u | uint32_t((x * 255 / w) << 16 | (y * 255 / h) << 8 | ((x + y) & 0xFF));
  return p;
}

TEST_F(Drawing, OpaqueScreenPictureIsShownExactly) {
  Start();
  Picture picture = Gradient(640, 480);
  int h = Graphic(picture, false);
  ClearScreen();
  recorder->Clear();
  EXPECT_EQ(DrawGraphic(0, 0, h, 0), 0);
  Picture shown = Shown();
  // Two tiles, two textures: two primitive calls of two triangles each.
  auto draws = recorder->Named("DrawPrimitiveUP");
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0]->values[1], 2);
  EXPECT_EQ(Vertices(0).size(), 6u);
  ASSERT_EQ(shown.width, 640);
  EXPECT_TRUE(shown.pixels == picture.pixels);
}

TEST_F(Drawing, KeyColourIsSkippedAndAlphaIsBlended) {
  Start();
  Picture background(640, 480, 0xFF3060C0u);
  Picture sprite(4, 1);
  sprite.pixels = {0xFF000000u, 0xFFFF0000u, 0xFF010101u, 0xFF00FF00u};
  Picture alpha(2, 1);
  alpha.pixels = {0x80FFFFFFu, 0x00FF0000u};
  int bg = Graphic(background, false), key = Graphic(sprite, false), translucent = Graphic(alpha, true);
  ClearScreen();
  DrawGraphic(0, 0, bg, 0);
  DrawGraphic(10, 10, key, 1);
  DrawGraphic(10, 20, key, 0);  // opaque: black is drawn
  DrawGraphic(10, 30, translucent, 1);
  Picture shown = Shown();
  EXPECT_EQ(shown.at(10, 10), 0xFF3060C0u);  // the key colour, skipped
  EXPECT_EQ(shown.at(11, 10), 0xFFFF0000u);
  EXPECT_EQ(shown.at(12, 10), 0xFF010101u);  // near black is not the key
  EXPECT_EQ(shown.at(10, 20), 0xFF000000u);
  uint32_t half = shown.at(10, 30);
  EXPECT_NEAR(int((half >> 16) & 0xFF), (0xFF * 128 + 0x30 * 127) / 255, 1);
  EXPECT_NEAR(int(half & 0xFF), (0xFF * 128 + 0xC0 * 127) / 255, 1);
  EXPECT_EQ(shown.at(11, 30), 0xFF3060C0u);  // alpha 0
}

TEST_F(Drawing, ClippedAtTheRightEdge) {
  Start();
  int h = Graphic(Gradient(100, 10), false);
  recorder->Clear();
  EXPECT_EQ(DrawGraphic(600, 0, h, 0), 0);
  FlushVertices();
  std::vector<Vertex1> v = Vertices(0);
  ASSERT_EQ(v.size(), 6u);
  EXPECT_FLOAT_EQ(v[0].x, 599.5f);
  EXPECT_FLOAT_EQ(v[1].x, 640.0f);  // moved in from 699.5
  EXPECT_FLOAT_EQ(v[1].u, (100.0f - 59.5f) / 128.0f);
  EXPECT_FLOAT_EQ(v[3].x, 640.0f);
  EXPECT_FLOAT_EQ(v[5].x, 640.0f);
  Picture shown = Shown();
  EXPECT_NE(shown.at(639, 5), 0xFF000000u);
}

TEST_F(Drawing, OutsideOrEmptyClipDrawsNothing) {
  Start();
  int h = Graphic(Gradient(100, 10), false);
  recorder->Clear();
  EXPECT_EQ(DrawGraphic(-100, 0, h, 0), 0);
  EXPECT_EQ(PendingVertices(), 0);
  EXPECT_EQ(SetClipArea(100, 100, 100, 300), 0);
  EXPECT_EQ(DrawGraphic(150, 150, h, 0), 0);
  EXPECT_EQ(PendingVertices(), 0);
  EXPECT_EQ(SetClipArea(300, 200, 100, 100), 0);  // corners in any order
  EXPECT_EQ(Draw().clip.left, 100);
  EXPECT_EQ(Draw().clip.right, 300);
  EXPECT_EQ(DrawGraphic(150, 150, h, 0), 0);
  EXPECT_EQ(PendingVertices(), 6);
}

TEST_F(Drawing, BatchFlushesWhenTheNextTileWouldFillIt) {
  Start();
  int h = Graphic(Gradient(8, 8), false);
  recorder->Clear();
  for (int i = 0; i < 389; ++i) DrawGraphic(i % 600, 0, h, 0);
  EXPECT_EQ(PendingVertices(), 2334);
  EXPECT_EQ(recorder->Count("DrawPrimitiveUP"), 0);
  DrawGraphic(0, 0, h, 0);
  EXPECT_EQ(recorder->Count("DrawPrimitiveUP"), 1);
  EXPECT_EQ(recorder->Named("DrawPrimitiveUP")[0]->values[1], 778);
  EXPECT_EQ(PendingVertices(), 6);
}

TEST_F(Drawing, StatesAreSentOnlyWhenTheyChange) {
  Start();
  int a = Graphic(Gradient(8, 8), false);
  DrawGraphic(0, 0, a, 1);
  recorder->Clear();
  for (int i = 0; i < 10; ++i) DrawGraphic(i * 10, 0, a, 1);
  FlushVertices();
  // Ten draws of one graphic in one state: one primitive call and no state call at all.
  EXPECT_EQ(recorder->Count("DrawPrimitiveUP"), 1);
  EXPECT_EQ(recorder->Count("SetRenderState"), 0);
  EXPECT_EQ(recorder->Count("SetTexture"), 0);
  SetBlendMode(1, 128);
  recorder->Clear();
  DrawGraphic(0, 0, a, 1);
  FlushVertices();
  EXPECT_GT(recorder->Count("SetRenderState") + recorder->Count("SetTextureStageState"), 0);
}

TEST_F(Drawing, AlphaTestForKeyColouredGraphics) {
  Start();
  int key = Graphic(Gradient(8, 8), false);
  recorder->Clear();
  DrawGraphic(0, 0, key, 1);
  FlushVertices();
  std::string calls = recorder->Text();
  EXPECT_NE(calls.find("SetRenderState(AlphaTestEnable, 1)"), std::string::npos) << calls;
  EXPECT_NE(calls.find("SetRenderState(AlphaReference, 16)"), std::string::npos);
  EXPECT_NE(calls.find("SetRenderState(AlphaBlendEnable, 0)"), std::string::npos);
}

TEST_F(Drawing, FrontScreenIsShownAgainEvery32Milliseconds) {
  Start();  // start-up leaves the front screen selected
  host.clock.stepPerReadMicroseconds = 0;
  int shown = host.window.presentCount;
  host.clock.Advance(20000);
  PumpMessages();
  EXPECT_EQ(host.window.presentCount, shown);
  host.clock.Advance(13000);
  PumpMessages();
  EXPECT_EQ(host.window.presentCount, shown + 1);
  // The back screen is shown only by FlipScreen.
  SetDrawTarget(-2);
  host.clock.Advance(100000);
  PumpMessages();
  EXPECT_EQ(host.window.presentCount, shown + 1);
}

TEST_F(Drawing, BlendModesAndBrightness) {
  Start();
  Picture background = Gradient(64, 32);
  Picture sprite(16, 16, 0xFF80C040u);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) sprite.at(x, y) = 0xFF000000u | uint32_t(x * 16) << 16 | uint32_t(y * 16) << 8 | 0x40;
  int bg = Graphic(background, false), s = Graphic(sprite, false);
  SetClipArea(0, 0, 64, 32);
  ClearScreen();
  DrawGraphic(0, 0, bg, 0);
  const int modes[4] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) {
    SetBlendMode(modes[i], 160);
    DrawGraphic(i * 16, 0, s, 0);
  }
  SetBlendMode(0, 0);
  SetBrightness(255, 128, 0);
  DrawGraphic(0, 16, s, 0);
  SetBrightness(255, 255, 255);
  Picture shown = Shown();
  Picture corner(64, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) corner.at(x, y) = shown.at(x, y);
  EXPECT_EQ(qr::testing::CompareWithGolden(corner, "blend_modes"), "");
}

}  // namespace
