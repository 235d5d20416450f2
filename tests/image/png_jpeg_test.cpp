#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>

#include "decoder_support.h"

namespace qr::image {
namespace {
using testing::Bytes;
using testing::Decoded;
using testing::ExpectDeclined;
using testing::MakeJpeg;
using testing::MakePng;
using testing::PngLayout;

TEST(PngDecoder, PaletteStaysIndicesWithAllEntries) {
  PngLayout s;
  s.width = 3;
  s.colorType = PNG_COLOR_TYPE_PALETTE;
  s.bitDepth = 4;
  s.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  s.rows = {{0x01, 0x20}};
  Decoded d(DecodePng, MakePng(s));
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.pixelBytes, 1);
  EXPECT_EQ(d.image.pitch, 3);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(d.Word(x, 0), uint32_t(x));
  const uint8_t* e = d.image.format.palette[1];
  EXPECT_EQ(e[0], 60);  // blue, green, red, 0
  EXPECT_EQ(e[1], 50);
  EXPECT_EQ(e[2], 40);
  EXPECT_EQ(e[3], 0);
  EXPECT_EQ(d.image.format.palette[3][2], 0);  // undefined entries are black

  // Packed pixels come out in their order, one index a byte.
  PngLayout bits = s;
  bits.width = 10;
  bits.bitDepth = 1;
  bits.palette.resize(6);
  bits.rows = {{0x80, 0x40}};
  Decoded b(DecodePng, MakePng(bits));
  ASSERT_EQ(b.result, 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(b.Word(x, 0), x == 0 || x == 9 ? 1u : 0u) << x;
}

TEST(PngDecoder, TransparencyExpandsToArgb) {
  PngLayout s;
  s.width = 2;
  s.colorType = PNG_COLOR_TYPE_PALETTE;
  s.palette = {10, 20, 30, 40, 50, 60};
  s.trns = {0};
  s.rows = {{0, 1}};
  Decoded d(DecodePng, MakePng(s));
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(d.Word(0, 0), 0x000A141Eu);
  EXPECT_EQ(d.Word(1, 0), 0xFF28323Cu);

  PngLayout rgb;
  rgb.width = 2;
  rgb.colorType = PNG_COLOR_TYPE_RGB;
  rgb.trns = {0, 1, 0, 2, 0, 3};
  rgb.rows = {{1, 2, 3, 1, 2, 4}};
  Decoded k(DecodePng, MakePng(rgb));
  ASSERT_EQ(k.result, 0);
  EXPECT_EQ(k.Word(0, 0), 0x00010203u);
  EXPECT_EQ(k.Word(1, 0), 0xFF010204u);
}

TEST(PngDecoder, GrayGrayAlphaSixteenBitsAndRgba) {
  PngLayout g;
  g.width = 4;
  g.colorType = PNG_COLOR_TYPE_GRAY;
  g.bitDepth = 2;
  g.rows = {{0x1B}};  // 0, 1, 2, 3
  Decoded a(DecodePng, MakePng(g));
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.format.pixelBytes, 1);
  EXPECT_EQ(a.image.format.palette[170][2], 170);
  const uint32_t expanded[] = {0, 85, 170, 255};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(a.Word(x, 0), expanded[x]);

  // Gray with alpha: two bytes a pixel, read as a 16-bit picture without alpha.
  PngLayout ga;
  ga.width = 2;
  ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  ga.rows = {{100, 7, 200, 255}};
  Decoded b(DecodePng, MakePng(ga));
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.image.format.colorBits, 16);
  EXPECT_EQ(b.image.format.alphaWidth, 0);
  EXPECT_EQ(b.image.format.redMask, 0xFFu);
  EXPECT_EQ(b.image.format.blueMask, 0xFFu);
  EXPECT_EQ(b.image.format.spareMask, 0xFF00u);
  EXPECT_EQ(b.Word(0, 0), 0x0764u);
  int r, gr, bl, al;
  ASSERT_EQ(ReadImagePixel(&b.image, 1, 0, &r, &gr, &bl, &al), 0);
  EXPECT_EQ(r, 200);
  EXPECT_EQ(al, 0);

  // Gray with a transparent value expands the same way.
  PngLayout gt = g;
  gt.bitDepth = 8;
  gt.width = 2;
  gt.trns = {0, 9};
  gt.rows = {{9, 10}};
  Decoded c(DecodePng, MakePng(gt));
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.image.format.colorBits, 16);
  EXPECT_EQ(c.Word(0, 0), 0x0009u);
  EXPECT_EQ(c.Word(1, 0), 0xFF0Au);

  PngLayout deep;
  deep.colorType = PNG_COLOR_TYPE_RGB;
  deep.bitDepth = 16;
  deep.rows = {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};
  Decoded d(DecodePng, MakePng(deep));
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.colorBits, 24);
  EXPECT_EQ(d.Word(0, 0), 0x12569Au);

  PngLayout rgba;
  rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba.rows = {{1, 2, 3, 4}};
  Decoded e(DecodePng, MakePng(rgba));
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.Word(0, 0), 0x04010203u);
}

TEST(PngDecoder, InterlacedMatchesPlainAndBrokenFilesDecline) {
  PngLayout s;
  s.width = 9;
  s.height = 7;
  s.colorType = PNG_COLOR_TYPE_RGB;
  for (int y = 0; y < 7; ++y) {
    Bytes row;
    for (int x = 0; x < 9; ++x) row.insert(row.end(), {uint8_t(x * 20), uint8_t(y * 30), uint8_t(x + y)});
    s.rows.push_back(row);
  }
  Decoded plain(DecodePng, MakePng(s));
  s.interlaced = true;
  Decoded interlaced(DecodePng, MakePng(s));
  ASSERT_EQ(plain.result, 0);
  ASSERT_EQ(interlaced.result, 0);
  EXPECT_EQ(plain.image.pitch, 27);
  EXPECT_EQ(std::memcmp(plain.image.pixels, interlaced.image.pixels, 27 * 7), 0);
  EXPECT_EQ(plain.Word(8, 6), uint32_t(160 << 16 | 180 << 8 | 14));

  Bytes cut = MakePng(s);
  cut.resize(cut.size() / 2);
  ExpectDeclined(DecodePng, cut, "truncated");
  Bytes bad = MakePng(s);
  bad[bad.size() / 2] ^= 0x55;  // a data CRC no longer matches
  ExpectDeclined(DecodePng, bad, "damaged");
  ExpectDeclined(DecodePng, Bytes{'B', 'M', 0, 0}, "not a PNG");
}

Bytes Solid(int width, int height, std::initializer_list<uint8_t> pixel) {
  Bytes b;
  for (int i = 0; i < width * height; ++i) b.insert(b.end(), pixel);
  return b;
}

void ExpectNear(uint32_t word, int r, int g, int b, int tolerance) {
  EXPECT_NEAR(int(word >> 16 & 0xFF), r, tolerance);
  EXPECT_NEAR(int(word >> 8 & 0xFF), g, tolerance);
  EXPECT_NEAR(int(word & 0xFF), b, tolerance);
}

TEST(JpegDecoder, GrayColourAndCmyk) {
  Decoded gray(DecodeJpeg, MakeJpeg(16, 8, 1, Solid(16, 8, {128})));
  ASSERT_EQ(gray.result, 0);
  EXPECT_EQ(gray.image.format.pixelBytes, 1);
  EXPECT_EQ(gray.image.format.palette[128][0], 128);
  EXPECT_EQ(gray.image.pitch, 16);
  EXPECT_NEAR(int(gray.Word(5, 5)), 128, 2);

  Decoded colour(DecodeJpeg, MakeJpeg(5, 3, 3, Solid(5, 3, {200, 40, 10})));
  ASSERT_EQ(colour.result, 0);
  EXPECT_EQ(colour.image.format.colorBits, 24);
  EXPECT_EQ(colour.image.pitch, 15);  // not rounded up to 4 bytes
  EXPECT_EQ(colour.image.width, 5);
  ExpectNear(colour.Word(4, 2), 200, 40, 10, 6);

  // CMYK as Adobe writes it (inks inverted) and plain: both come out red.
  Decoded adobe(DecodeJpeg, MakeJpeg(8, 8, 4, Solid(8, 8, {255, 0, 0, 255}), 95, true));
  ASSERT_EQ(adobe.result, 0);
  EXPECT_EQ(adobe.image.format.colorBits, 24);
  EXPECT_EQ(adobe.image.pitch, 24);
  ExpectNear(adobe.Word(3, 3), 255, 0, 0, 4);
  Decoded plain(DecodeJpeg, MakeJpeg(8, 8, 4, Solid(8, 8, {0, 255, 255, 0}), 95, false));
  ASSERT_EQ(plain.result, 0);
  ExpectNear(plain.Word(3, 3), 255, 0, 0, 4);
}

TEST(JpegDecoder, TruncatedFileStillGivesTheWholePicture) {
  Bytes pixels;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) pixels.insert(pixels.end(), {uint8_t(x * 4), uint8_t(y * 4), uint8_t(rand())});
  Bytes file = MakeJpeg(64, 64, 3, pixels);
  file.resize(file.size() / 2);
  Decoded d(DecodeJpeg, file);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.width, 64);
  EXPECT_EQ(d.image.height, 64);
  EXPECT_NEAR(int(d.Word(4, 0) >> 16 & 0xFF), 16, 12);  // the part before the cut is there

  ExpectDeclined(DecodeJpeg, Bytes{0xFF, 0xD8}, "no frame at all");
  ExpectDeclined(DecodeJpeg, Bytes{0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 1, 0, 1, 1, 1, 0x11, 0},
                 "frame without tables or data");
  ExpectDeclined(DecodeJpeg, Bytes{0x89, 'P', 'N', 'G'}, "not a JPEG");
}

}  // namespace
}  // namespace qr::image
