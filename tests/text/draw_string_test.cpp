// Drawing strings: the pictures of each font type, how the pen moves over spaces and odd bytes,
// the edge under the body, and the brightness around the call.
#include <cstring>

#include "graphics/draw_settings.h"
#include "graphics/graphic_handles.h"
#include "text_fixture.h"

namespace {
using qr::testing::Picture;
using qr::testing::Sjis;
using qr::testing::TextTest;

class DrawString : public TextTest {
 protected:
  static constexpr uint32_t kBackground = 0xFF3050A0u;
  // A screen filled with the background colour.
  void Backdrop() {
    ClearScreen();
    Picture p(640, 480, kBackground);
    qr::image::BaseImage image{};
    qr::image::AllocXrgb8ImagePixels(640, 480, &image);
    for (int y = 0; y < 480; ++y) std::memcpy(image.pixels + size_t(y) * size_t(image.pitch), &p.pixels[size_t(y) * 640], 640 * 4);
    if (backdrop < 0) {
      backdrop = qr::graphics::CreateGraphicForImage(&image, nullptr);
      qr::graphics::TransferImageToGraphic(backdrop, &image, nullptr, qr::graphics::TransferRect{0, 0, 640, 480}, 0, 0, 0,
                                           nullptr);
    }
    qr::image::FreeImagePixels(&image);
    DrawGraphic(0, 0, backdrop, 0);
  }
  // Draws the string with the font at (x, y) on a fresh backdrop and returns the frame.
  Picture Alone(int font, const std::string& utf8, int x = 10, int y = 10) {
    Backdrop();
    DrawStringWithFont(x, y, Sjis(utf8).c_str(), White(), font, 0);
    return Shown();
  }
  int backdrop = -1;
};

TEST_F(DrawString, TheGamesTextsInEveryTypeMatchTheirPictures) {
  Start();
  const char* texts[] = {"HP 10", "ハイスコア 0個", "GAME OVER"};
  const int columns[] = {4, 100, 330};
  Backdrop();
  for (int type = 0; type < 4; ++type) {
    int font = MakeFont(29, type);
    ASSERT_GE(font, 0);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(DrawStringWithFont(columns[i], 2 + 34 * type, Sjis(texts[i]).c_str(), White(), font, 0), 0);
  }
  Picture shown = Shown();
  EXPECT_EQ(qr::testing::CompareWithGolden(Crop(shown, 0, 0, 500, 4 * 34), "text_types"), "");
}

TEST_F(DrawString, NothingToDrawIsNoFailure) {
  Start();
  int font = MakeFont(16, 1);
  Picture before = Alone(font, "");
  EXPECT_EQ(DrawStringWithFont(10, 10, nullptr, White(), font, 0), 0);
  EXPECT_EQ(DrawTextLine(10, 10, "", White(), 0), 0);
  EXPECT_EQ(DrawTextFormat(10, 10, White(), "%s", ""), 0);
  EXPECT_TRUE(Shown().pixels == before.pixels);
  // An empty clip area draws nothing either, and is no failure.
  SetClipArea(5, 5, 5, 5);
  EXPECT_EQ(DrawStringWithFont(10, 10, "A", White(), font, 0), 0);
}

TEST_F(DrawString, SpacesAdvanceThePenWithoutDrawing) {
  Start();
  int font = MakeFont(29, 3);
  // "HP %d" with 10: H, P, a space and 1, 0, as if the halves were drawn apart.
  SetDefaultFontType(3);
  SetDefaultFontSize(29);
  Backdrop();
  DrawTextFormat(10, 10, White(), "HP %d", 10);
  Picture formatted = Shown();
  int font29 = qr::text::DefaultFontHandle();
  const qr::text::GlyphSlot* space = Slot(font29, " ");
  ASSERT_NE(space, nullptr);
  EXPECT_EQ(space->width, 0);
  EXPECT_GT(space->advance, 0);
  Backdrop();
  DrawStringWithFont(10, 10, "HP", White(), font29, 0);
  DrawStringWithFont(10 + Width(font29, "HP "), 10, "10", White(), font29, 0);
  EXPECT_TRUE(Shown().pixels == formatted.pixels);

  // The full-width space the same, with its own advance.
  Picture spaced = Alone(font, "ア　イ");
  const qr::text::GlyphSlot* wide = Slot(font, "　");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->width, 0);
  EXPECT_GT(wide->advance, space->advance);
  EXPECT_EQ(Width(font, "ア　イ"), 2 * Width(font, "ア") + wide->advance);
  Backdrop();
  DrawStringWithFont(10, 10, Sjis("ア").c_str(), White(), font, 0);
  DrawStringWithFont(10 + Width(font, "ア　"), 10, Sjis("イ").c_str(), White(), font, 0);
  EXPECT_TRUE(Shown().pixels == spaced.pixels);
}

TEST_F(DrawString, OddBytesAreCharactersOfTheirOwn) {
  Start();
  int font = MakeFont(20, 2);
  // A lead byte at the end is a one-byte character, with the empty glyph's advance.
  std::string trailing = Sjis("ア") + "\x83";
  int w = 0, h = 0;
  ASSERT_EQ(MeasureString(font, trailing.c_str(), -1, &w, &h), 0);
  EXPECT_TRUE(Font(font).glyphMap[0x83].cached);
  EXPECT_EQ(w, Width(font, "ア") + Font(font).glyphMap[0x83].slot->advance);
  EXPECT_EQ(h, Font(font).cellHeight);
  EXPECT_EQ(DrawStringWithFont(0, 0, trailing.c_str(), White(), font, 0), 0);
  // Bytes no character starts with, and a lone lead byte.
  EXPECT_EQ(DrawStringWithFont(0, 0, "\x80\xA0\xFD\xFE\xFF", White(), font, 0), 0);
  EXPECT_EQ(DrawStringWithFont(0, 0, "\x83", White(), font, 0), 0);
  for (unsigned code : {0x80u, 0xA0u, 0xFDu, 0xFFu}) EXPECT_TRUE(Font(font).glyphMap[code].cached) << code;
  // Measuring a part of a string stops at the length given.
  ASSERT_EQ(MeasureString(font, trailing.c_str(), 2, &w, &h), 0);
  EXPECT_EQ(w, Width(font, "ア"));
}

TEST_F(DrawString, AFormattedTextLongerThanItsBufferIsCutAtACharacter) {
  Start();
  // 1100 two-byte characters: the 2048-byte buffer holds 1023 of them and half of the next.
  std::string longText;
  for (int i = 0; i < 1100; ++i) longText += Sjis("ア");
  EXPECT_EQ(DrawTextFormat(0, 0, White(), "%s", longText.c_str()), 0);
  qr::text::FontRecord& f = Font(qr::text::DefaultFontHandle());
  EXPECT_TRUE(f.glyphMap[0x83 + 256 * 0x41].cached);
  EXPECT_FALSE(f.glyphMap[0x83].cached) << "the half character would be a lone lead byte";
}

TEST_F(DrawString, TheEdgeWidensTheBoxAndLiesUnderTheBody) {
  Start();
  int plain = MakeFont(29, 0), edged = MakeFont(29, 1, 2);
  ASSERT_EQ(Font(edged).edgeSize, 2);
  Width(plain, "H");
  Width(edged, "H");
  const qr::text::GlyphSlot* p = Slot(plain, "H");
  const qr::text::GlyphSlot* e = Slot(edged, "H");
  EXPECT_EQ(e->width, p->width + 4);
  EXPECT_EQ(e->height, p->height + 4);
  EXPECT_EQ(e->advance, p->advance + 4);
  EXPECT_EQ(e->originX, p->originX);
  EXPECT_EQ(e->offsetY, p->offsetY);
  // In the cache the body sits two pixels right and down inside its box.
  auto covered = [](const qr::text::FontRecord& f, const qr::text::GlyphSlot* s, int x, int y) {
    const qr::image::BaseImage& c = f.cacheImage;
    int px = qr::text::CellLeft(f, s->position) + x, py = qr::text::CellTop(f, s->position) + y;
    return (c.pixels[size_t(py) * size_t(c.pitch) + size_t(px) * 2 + 1] & 0x80) != 0;
  };
  for (int y = 0; y < p->height; ++y)
    for (int x = 0; x < p->width; ++x)
      ASSERT_EQ(covered(Font(plain), p, x, y), covered(Font(edged), e, x + 2, y + 2)) << x << "," << y;

  // On screen: where the body is, the text colour; around it the edge colour.
  Backdrop();
  int red = MakeColor(255, 0, 0), black = MakeColor(0, 0, 0);
  DrawStringWithFont(10, 10, "H", red, edged, black);
  Picture shown = Shown();
  int bodies = 0, edges = 0;
  for (int y = 0; y < e->height; ++y)
    for (int x = 0; x < e->width; ++x) {
      uint32_t c = shown.at(10 + e->originX + x, 10 + e->offsetY + y);
      bodies += c == 0xFFFF0000u;
      edges += c == 0xFF000000u;
    }
  EXPECT_GT(bodies, 20);
  EXPECT_GT(edges, bodies);
}

TEST_F(DrawString, BrightnessTintsTheGlyphsAndIsKeptAfterTheCall) {
  Start();
  int font = MakeFont(29, 0);
  ClearScreen();
  SetBrightness(128, 128, 128);
  EXPECT_EQ(DrawStringWithFont(10, 10, "W", White(), font, 0), 0);
  EXPECT_EQ(qr::graphics::Draw().brightness, 0x808080u);
  Picture shown = Shown();
  int lit = 0;
  for (uint32_t c : shown.pixels) {
    if (c == 0xFF000000u) continue;
    ++lit;
    uint32_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
    EXPECT_TRUE(r == g && g == b && r >= 127 && r <= 128) << std::hex << c;
  }
  EXPECT_GT(lit, 30);
  // The edge colour is tinted the same way.
  int edged = MakeFont(29, 1);
  ClearScreen();
  SetBrightness(255, 0, 255);
  DrawStringWithFont(10, 10, "W", MakeColor(0, 0, 0), edged, White());
  shown = Shown();
  bool magenta = false;
  for (uint32_t c : shown.pixels) {
    EXPECT_EQ(c & 0x00FF00u, 0u);
    magenta |= c == 0xFFFF00FFu;
  }
  EXPECT_TRUE(magenta);
  EXPECT_EQ(qr::graphics::Draw().brightness, 0xFF00FFu);
}

}  // namespace

namespace {

TEST_F(DrawString, SubtractedTextLooksTheSameWithAndWithoutTheBlendOperation) {
  // Drawn with the device's reverse subtraction, then again on a device that lacks it, where
  // the string's box is inverted, the glyphs added, and the box inverted back.
  std::vector<Picture> shown;
  for (bool blendOperation : {true, false}) {
    host.graphics.settings.capabilities.blendOperation = blendOperation;
    Start();
    int font = MakeFont(29, 3);
    Backdrop();
    SetBlendMode(3, 255);
    EXPECT_EQ(DrawStringWithFont(20, 20, "GAME OVER", MakeColor(200, 100, 50), font, MakeColor(40, 40, 40)), 0);
    // At or right of the clip area's right edge nothing is drawn at all.
    EXPECT_EQ(DrawStringWithFont(640, 60, "GAME OVER", White(), font, 0), 0);
    SetBlendMode(0, 0);
    shown.push_back(Shown());
    RuntimeEnd();
    backdrop = -1;
  }
  EXPECT_TRUE(shown[0].pixels == shown[1].pixels);
  int changed = 0;
  for (uint32_t c : shown[0].pixels) changed += c != kBackground;
  EXPECT_GT(changed, 200) << "the text was subtracted from the backdrop";
}

}  // namespace
