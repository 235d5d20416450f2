// The font engine on the host's own fonts: which face a name gets, the metrics of a cell height,
// and the glyph bitmaps in both kinds, including codes that are no character at all.
#include <gtest/gtest.h>

#include <string>

#include "platform/fonts/face_finder.h"
#include "platform/fonts/freetype_font_engine.h"
#include "support/headless_runtime.h"

namespace {
using qr::platform::FontDescription;
using qr::platform::GlyphBitmap;
using qr::platform::GlyphKind;
using qr::platform::fonts::FreeTypeFontEngine;
using qr::testing::Sjis;

FontDescription Face(const std::string& utf8Face, int height = 29) {
  FontDescription d;
  d.face = Sjis(utf8Face);
  d.height = height;
  return d;
}

TEST(FaceNames, AreComparedWithoutCaseWidthOrSpaces) {
  using qr::platform::fonts::NormalisedFaceName;
  EXPECT_EQ(NormalisedFaceName("ＭＳ ゴシック"), "msゴシック");
  EXPECT_EQ(NormalisedFaceName("MS  Gothic"), "msgothic");
  EXPECT_EQ(NormalisedFaceName("ＭＳ　Ｐゴシック"), "mspゴシック");
  EXPECT_EQ(NormalisedFaceName("IPA-Gothic"), "ipagothic");
}

TEST(FontEngine, WindowsJapaneseFacesAndMissingFacesGetTheJapaneseGothic) {
  FreeTypeFontEngine engine;
  for (const char* face : {"ＭＳ ゴシック", "MS Gothic", "ms gothic", "", "No Such Face At All", "ＭＳ 明朝"}) {
    SCOPED_TRACE(face);
    qr::platform::FontId id = engine.CreateFont(Face(face));
    ASSERT_NE(id, 0);
    std::string described = engine.FaceDescription(id);
    EXPECT_NE(described.find("IPA"), std::string::npos) << described;
    engine.DestroyFont(id);
  }
  qr::platform::FontId proportional = engine.CreateFont(Face("ＭＳ Ｐゴシック"));
  EXPECT_NE(engine.FaceDescription(proportional).find("IPAPGothic"), std::string::npos);
}

TEST(FontEngine, HeightIsTheCellHeight) {
  FreeTypeFontEngine engine;
  for (int height : {12, 16, 29, 64, 200}) {
    SCOPED_TRACE(height);
    qr::platform::FontId id = engine.CreateFont(Face("", height));
    qr::platform::FontMetrics m;
    ASSERT_TRUE(engine.Metrics(id, m));
    EXPECT_EQ(m.height, height);
    EXPECT_EQ(m.ascent + m.descent, height);
    EXPECT_GT(m.ascent, m.descent);
    EXPECT_GT(m.maxCharWidth, height * 8 / 10);  // a full-width character is nearly square
    EXPECT_LE(m.maxCharWidth, height);
  }
  // A negative height is the em height, as Windows takes it; beyond any cache it is refused.
  qr::platform::FontMetrics m;
  ASSERT_TRUE(engine.Metrics(engine.CreateFont(Face("", -27)), m));
  EXPECT_GT(m.height, 27);
  EXPECT_EQ(engine.CreateFont(Face("", 2000)), 0);
  EXPECT_EQ(engine.CreateFont(Face("", -2000)), 0);
}

TEST(FontEngine, GlyphsInBothKindsShareTheirLayout) {
  FreeTypeFontEngine engine;
  qr::platform::FontId id = engine.CreateFont(Face(""));
  qr::platform::FontMetrics m;
  engine.Metrics(id, m);
  for (GlyphKind kind : {GlyphKind::Mono, GlyphKind::Gray17}) {
    GlyphBitmap g;
    ASSERT_TRUE(engine.Glyph(id, 'H', kind, g));
    EXPECT_GT(g.blackBoxWidth, 0);
    EXPECT_GT(g.blackBoxHeight, m.height / 2);
    EXPECT_EQ(g.pitch % 4, 0);
    EXPECT_GE(g.pitch * (kind == GlyphKind::Mono ? 8 : 1), g.blackBoxWidth);
    EXPECT_EQ(g.bits.size(), size_t(g.pitch) * size_t(g.blackBoxHeight));
    EXPECT_LE(g.originY, m.ascent);
    EXPECT_GE(g.advance, g.blackBoxWidth / 2);
    int top = 0, highest = 0;
    for (int x = 0; x < g.pitch; ++x) top |= g.bits[size_t(x)];
    for (uint8_t b : g.bits) highest = std::max<int>(highest, b);
    EXPECT_NE(top, 0) << "the box is as tight as the ink";
    if (kind == GlyphKind::Gray17) {
      EXPECT_EQ(highest, 16);
    }
  }
  // The full-width katakana ア (Shift-JIS 83 41) is twice as wide as H.
  GlyphBitmap h, a;
  engine.Glyph(id, 'H', GlyphKind::Mono, h);
  engine.Glyph(id, 0x8341, GlyphKind::Mono, a);
  EXPECT_NEAR(a.advance, 2 * h.advance, 1);
}

TEST(FontEngine, CodesWithoutAGlyphAreEmpty) {
  FreeTypeFontEngine engine;
  qr::platform::FontId id = engine.CreateFont(Face(""));
  GlyphBitmap space, wideSpace;
  engine.Glyph(id, ' ', GlyphKind::Gray17, space);
  engine.Glyph(id, 0x8140, GlyphKind::Gray17, wideSpace);
  // Control characters, bytes no character starts with, and two-byte codes outside the table.
  for (unsigned code : {0x0Au, 0x80u, 0xA0u, 0xFDu, 0xFFu, 0x8100u, 0xFCFCu, 0x12345u}) {
    SCOPED_TRACE(code);
    GlyphBitmap g;
    ASSERT_TRUE(engine.Glyph(id, code, GlyphKind::Gray17, g));
    EXPECT_EQ(g.blackBoxWidth, 0);
    EXPECT_EQ(g.blackBoxHeight, 0);
    EXPECT_TRUE(g.bits.empty());
    EXPECT_EQ(g.advance, code > 0xFF ? wideSpace.advance : space.advance);
  }
  GlyphBitmap g;
  EXPECT_FALSE(engine.Glyph(id + 100, 'A', GlyphKind::Mono, g));
}

}  // namespace
