// The glyph cache: edge stamps, the pixel encodings of each font type in both caches, and the
// cyclic replacement of slots.
#include <string>
#include <vector>

#include "text/glyph_raster.h"
#include "text_fixture.h"

namespace {
using qr::platform::GlyphBitmap;
using qr::testing::Sjis;
using qr::testing::TextTest;
using qr::text::CellPlacement;

// The stamp of radius e drawn as rows of '#' and '.'.
std::vector<std::string> Stamp(int e) {
  std::vector<std::string> rows;
  for (int dy = -e; dy <= e; ++dy) {
    std::string row;
    for (int dx = -e; dx <= e; ++dx) row += qr::text::InEdgeStamp(dx, dy, e) ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

TEST(EdgeStamps, ArePlusDiscsAndSquares) {
  EXPECT_EQ(Stamp(1), (std::vector<std::string>{".#.", "###", ".#."}));
  EXPECT_EQ(Stamp(2), (std::vector<std::string>{".###.", "#####", "#####", "#####", ".###."}));
  EXPECT_EQ(Stamp(3), (std::vector<std::string>{"...#...", ".#####.", ".#####.", "#######", ".#####.", ".#####.",
                                                "...#..."}));
  EXPECT_EQ(Stamp(4), (std::vector<std::string>{"..#####..", ".#######.", "#########", "#########", "#########",
                                                "#########", "#########", ".#######.", "..#####.."}));
  for (const std::string& row : Stamp(5)) EXPECT_EQ(row, std::string(11, '#'));
}

// A 3 x 2 glyph of the levels given (16, 0, 8 / 0, 1, 16 unless told); as a 1-bit glyph every
// level above 0 is covered.
GlyphBitmap Glyph(bool mono, std::vector<int> levels = {16, 0, 8, 0, 1, 16}) {
  GlyphBitmap g;
  g.blackBoxWidth = 3;
  g.blackBoxHeight = 2;
  g.pitch = 4;
  g.bits.assign(8, 0);
  for (int i = 0; i < 6; ++i) {
    int x = i % 3, y = i / 3;
    if (mono) {
      if (levels[size_t(i)]) g.bits[size_t(y) * 4] = uint8_t(g.bits[size_t(y) * 4] | (0x80 >> x));
    } else {
      g.bits[size_t(y) * 4 + size_t(x)] = uint8_t(levels[size_t(i)]);
    }
  }
  return g;
}

struct Cache {
  qr::image::BaseImage image{};
  Cache(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    qr::image::ColorFormat f;
    qr::image::MakeFormatFromMasks(&f, 16, r, g, b, a);
    qr::image::AllocImagePixels(16, 8, &f, &image);
    qr::image::ClearImageRect(&image, 0, 0, 16, 8);
  }
  ~Cache() { qr::image::FreeImagePixels(&image); }
  uint16_t at(int x, int y) const {
    const unsigned char* p = image.pixels + size_t(y) * size_t(image.pitch) + size_t(x) * 2;
    return uint16_t(p[0] | p[1] << 8);
  }
};
Cache AlphaTest() { return Cache(0x7C00, 0x03E0, 0x001F, 0x8000); }
Cache Alpha4() { return Cache(0x0F00, 0x00F0, 0x000F, 0xF000); }

TEST(TextureCells, PlainTypesAreWhiteWithTheirCoverageInAlpha) {
  Cache plain = AlphaTest();
  qr::text::WriteTextureCell(Glyph(true), CellPlacement{0, 1, 8}, plain.image, 0, 0, 8);
  EXPECT_EQ(plain.at(0, 0), 0xFFFF);
  EXPECT_EQ(plain.at(1, 0), 0x7FFF);  // in the black box, not covered: white, transparent
  EXPECT_EQ(plain.at(2, 0), 0xFFFF);
  EXPECT_EQ(plain.at(1, 1), 0xFFFF);
  EXPECT_EQ(plain.at(3, 0), 0x0000);  // outside the box the cleared cell stays
  EXPECT_EQ(plain.at(8, 0), 0x0000);  // no edge half

  Cache smooth = Alpha4();
  qr::text::WriteTextureCell(Glyph(false), CellPlacement{2, 1, 8}, smooth.image, 0, 0, 8);
  EXPECT_EQ(smooth.at(0, 0), 0xFFFF);  // level 16: alpha 15
  EXPECT_EQ(smooth.at(1, 0), 0x0FFF);  // level 0
  EXPECT_EQ(smooth.at(2, 0), 0x7FFF);  // level 8: alpha 7
  EXPECT_EQ(smooth.at(1, 1), 0x0FFF);  // level 1: alpha 0
}

TEST(TextureCells, EdgedTypesOffsetTheBodyAndStampTheEdgeHalf) {
  Cache plain = AlphaTest();
  qr::text::WriteTextureCell(Glyph(true), CellPlacement{1, 1, 8}, plain.image, 0, 0, 8);
  // The body one pixel right and down; only its covered pixels are written.
  EXPECT_EQ(plain.at(1, 1), 0xFFFF);
  EXPECT_EQ(plain.at(2, 1), 0x0000);
  EXPECT_EQ(plain.at(3, 1), 0xFFFF);
  EXPECT_EQ(plain.at(2, 2), 0xFFFF);
  // The edge half: every pixel next to a covered one, the diagonal neighbours not.
  for (auto [x, y] : {std::pair{0, 1}, {1, 0}, {2, 1}, {4, 1}, {3, 0}, {2, 3}, {1, 2}})
    EXPECT_EQ(plain.at(8 + x, y), 0xFFFF) << x << "," << y;
  for (auto [x, y] : {std::pair{0, 0}, {2, 0}, {4, 0}, {0, 3}, {5, 1}})
    EXPECT_EQ(plain.at(8 + x, y), 0x0000) << x << "," << y;

  // Anti-aliased edges combine the stamps: two level-8 pixels side by side give 8 where one
  // stamp reaches and (256 - 8 * 8) >> 4 = 12 where both do.
  Cache smooth = Alpha4();
  GlyphBitmap pair = Glyph(false, {8, 8, 0, 0, 0, 0});
  qr::text::WriteTextureCell(pair, CellPlacement{3, 1, 8}, smooth.image, 0, 0, 8);
  EXPECT_EQ(smooth.at(1, 1), 0x7FFF);
  EXPECT_EQ(smooth.at(8 + 1, 1), 0xBFFF);
  EXPECT_EQ(smooth.at(8 + 2, 1), 0xBFFF);
  EXPECT_EQ(smooth.at(8 + 0, 1), 0x7FFF);
  EXPECT_EQ(smooth.at(8 + 1, 0), 0x7FFF);
  EXPECT_EQ(smooth.at(8 + 0, 0), 0x0FFF);  // in the edge's box, not reached
}

TEST(SoftwareCells, HoldEachTypesEncoding) {
  std::vector<uint8_t> rows(8 * 8, 0);
  qr::text::WriteSoftwareCell(Glyph(true), CellPlacement{0, 1, 8}, rows.data(), 1);
  EXPECT_EQ(rows[0], 0xA0);  // the bitmap's rows, 1 bit per pixel
  EXPECT_EQ(rows[1], 0x60);

  rows.assign(64, 0);
  qr::text::WriteSoftwareCell(Glyph(true), CellPlacement{1, 1, 8}, rows.data(), 8);
  EXPECT_EQ(rows[1 * 8 + 1], 1);  // glyph
  EXPECT_EQ(rows[1 * 8 + 2], 2);  // edge where the glyph is not
  EXPECT_EQ(rows[1 * 8 + 0], 2);
  EXPECT_EQ(rows[0 * 8 + 0], 0);

  rows.assign(64, 0);
  qr::text::WriteSoftwareCell(Glyph(false), CellPlacement{2, 1, 8}, rows.data(), 8);
  EXPECT_EQ(rows[0], 15);  // level - 1
  EXPECT_EQ(rows[2], 7);
  EXPECT_EQ(rows[1], 0);

  rows.assign(64, 0);
  qr::text::WriteSoftwareCell(Glyph(false, {8, 16, 0, 0, 0, 0}), CellPlacement{3, 1, 8}, rows.data(), 8);
  EXPECT_EQ(rows[1 * 8 + 1], 0xF7);  // body 7, edge: the largest stamp over it, 15
  EXPECT_EQ(rows[1 * 8 + 0], 0x70);  // reached only by the level-8 stamp
  EXPECT_EQ(rows[1 * 8 + 3], 0xF0);
}

class GlyphCache : public TextTest {};

TEST_F(GlyphCache, SlotsAreReusedCyclicallyOldestFirst) {
  Start();
  int font = MakeFont(200, 0);
  ASSERT_EQ(Font(font).capacity, 10);
  // Twelve new characters: the batch renders the first ten; the last two are rendered while
  // drawing and take the slots of the first two.
  EXPECT_EQ(DrawStringWithFont(0, 0, "ABCDEFGHIJKL", White(), font, 0), 0);
  EXPECT_EQ(Slot(font, "A"), nullptr);
  EXPECT_EQ(Slot(font, "B"), nullptr);
  for (const char* c : {"C", "D", "J"}) EXPECT_NE(Slot(font, c), nullptr) << c;
  ASSERT_NE(Slot(font, "K"), nullptr);
  EXPECT_EQ(Slot(font, "K")->position, 0);
  EXPECT_EQ(Slot(font, "L")->position, 1);
  EXPECT_EQ(Font(font).nextSlot, 2);
  // Repeated characters are rendered once, cached ones not at all. A takes C's slot in the
  // batch, so C, cached when the batch was listed, is rendered again while drawing.
  DrawStringWithFont(0, 0, "AAAKC", White(), font, 0);
  EXPECT_EQ(Slot(font, "A")->position, 2);
  EXPECT_EQ(Slot(font, "C")->position, 3);
  EXPECT_EQ(Slot(font, "D"), nullptr);
  EXPECT_EQ(Font(font).nextSlot, 4);
}

TEST_F(GlyphCache, ManyDistinctCharactersCycleThroughTheCache) {
  Start();
  SetDefaultFontType(3);
  SetDefaultFontSize(29);
  // Ten thousand distinct two-byte codes: most of them are not even characters.
  std::string text;
  for (int lead = 0x81; text.size() < 20000; ++lead) {
    if (lead == 0xA0) lead = 0xE0;
    for (int trail = 0x40; trail <= 0xFC && text.size() < 20000; ++trail) {
      text += char(lead);
      text += char(trail);
    }
  }
  EXPECT_EQ(DrawTextLine(0, 0, text.c_str(), White(), 0), 0);
  qr::text::FontRecord& f = Font(qr::text::DefaultFontHandle());
  EXPECT_EQ(f.nextSlot, 10000 % f.capacity);
}

}  // namespace
