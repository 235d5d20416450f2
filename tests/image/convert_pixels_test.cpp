#include <gtest/gtest.h>

#include "image/base_image.h"
#include "image_test_util.h"
#include "qr.h"

namespace qr::image {
namespace {
using testing::Format;
using testing::MaskFormat;
using testing::OwnedImage;

const ColorFormat kRgb565 = MaskFormat(16, 0xF800, 0x07E0, 0x001F, 0);
const ColorFormat kArgb4444 = MaskFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000);

// A conversion of the whole source into the destination at (0, 0).
PixelConversion Whole(OwnedImage& dest, OwnedImage& source) {
  PixelConversion c;
  c.destPixels = dest->pixels;
  c.destPitch = dest->pitch;
  c.destFormat = &dest->format;
  c.sourcePixels = source->pixels;
  c.sourcePitch = source->pitch;
  c.sourceFormat = &source->format;
  c.right = source->width;
  c.bottom = source->height;
  return c;
}

TEST(ConvertPixels, WidthConversionMapsEndsToEnds) {
  OwnedImage src(kRgb565, 4, 1);
  src.SetWord(0, 0, 0xFFFF);
  src.SetWord(1, 0, 0x0000);
  src.SetWord(2, 0, (16u << 11) | (32u << 5) | 1u);
  src.SetWord(3, 0, (1u << 11));
  OwnedImage dst(Format(MakeXrgb8Format), 4, 1);
  ASSERT_EQ(ConvertPixels(Whole(dst, src)), 0);
  EXPECT_EQ(dst.Word(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dst.Word(1, 0), 0xFF000000u);  // the spare byte is set
  // 16 of 31 -> 128 + 16 * 7 / 31 = 131; 32 of 63 -> 128 + 32 * 3 / 63 = 129; 1 of 31 -> 8.
  EXPECT_EQ(dst.Word(2, 0), 0xFF000000u | 131u << 16 | 129u << 8 | 8u);
  EXPECT_EQ(dst.Word(3, 0), 0xFF000000u | 8u << 16);

  // Narrowing drops the low bits.
  OwnedImage wide(Format(MakeRgb24Format), 2, 1);
  wide.SetWord(0, 0, 0xFFFFFF);
  wide.SetWord(1, 0, 0x0F0307);
  OwnedImage narrow(kRgb565, 2, 1);
  ASSERT_EQ(ConvertPixels(Whole(narrow, wide)), 0);
  EXPECT_EQ(narrow.Word(0, 0), 0xFFFFu);
  EXPECT_EQ(narrow.Word(1, 0), (1u << 11) | (0u << 5) | 0u);
}

TEST(ConvertPixels, KeyColourBecomesAlphaUnlessThePictureHasAlpha) {
  OwnedImage src(Format(MakeRgb24Format), 3, 1);
  src.SetWord(0, 0, 0x000000);
  src.SetWord(1, 0, 0x102030);
  src.SetWord(2, 0, 0x000001);
  OwnedImage dst(Format(MakeArgb8Format), 3, 1);
  PixelConversion c = Whole(dst, src);
  c.keyToAlpha = 1;
  c.keyColor = 0x000000;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(dst.Word(0, 0), 0x00000000u);
  EXPECT_EQ(dst.Word(1, 0), 0xFF102030u);
  EXPECT_EQ(dst.Word(2, 0), 0xFF000001u);

  // The key is compared in the source's precision: 0x000001 packs to 0 in 5-6-5.
  OwnedImage src16(kRgb565, 2, 1);
  src16.SetWord(1, 0, 0x0001);
  OwnedImage dst4(kArgb4444, 2, 1);
  c = Whole(dst4, src16);
  c.keyToAlpha = 1;
  c.keyColor = 0x000001;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(dst4.Word(0, 0), 0x0000u);
  EXPECT_EQ(dst4.Word(1, 0), 0xF000u);

  // A source with alpha keeps its own alpha; the key is ignored.
  OwnedImage argb(Format(MakeArgb8Format), 2, 1);
  argb.SetWord(0, 0, 0x80000000);
  argb.SetWord(1, 0, 0x40123456);
  OwnedImage out(kArgb4444, 2, 1);
  c = Whole(out, argb);
  c.keyToAlpha = 1;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(out.Word(0, 0), 0x8000u);
  EXPECT_EQ(out.Word(1, 0), 0x4135u);
}

TEST(ConvertPixels, AlphaPictureRedFromRedAndBlack) {
  OwnedImage src(Format(MakeXrgb8Format), 2, 2);
  src.Fill(0xFF405060);
  OwnedImage alpha(Format(MakeGrayFormat), 2, 2);
  alpha.SetWord(0, 0, 0);
  alpha.SetWord(1, 0, 0x7F);
  alpha.SetWord(0, 1, 0xFF);
  alpha.SetWord(1, 1, 0x10);
  OwnedImage dst(Format(MakeArgb8Format), 2, 2);
  PixelConversion c = Whole(dst, src);
  c.alphaPixels = alpha->pixels;
  c.alphaPitch = alpha->pitch;
  c.alphaFormat = &alpha->format;
  c.keyToAlpha = 1;  // cleared: the alpha picture wins
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(dst.Word(0, 0), 0x00405060u);
  EXPECT_EQ(dst.Word(1, 0), 0x7F405060u);
  EXPECT_EQ(dst.Word(0, 1), 0xFF405060u);
  EXPECT_EQ(dst.Word(1, 1), 0x10405060u);

  // Into 4-bit alpha the picture's 8 bits are narrowed.
  OwnedImage dst4(kArgb4444, 2, 2);
  c.destPixels = dst4->pixels;
  c.destPitch = dst4->pitch;
  c.destFormat = &dst4->format;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(dst4.Word(1, 0) >> 12, 7u);
  EXPECT_EQ(dst4.Word(1, 1) >> 12, 1u);

  // Alpha from red; black keeps alpha and clears the colour.
  OwnedImage out(Format(MakeArgb8Format), 2, 2);
  PixelConversion r = Whole(out, src);
  r.alphaFromRed = 1;
  r.blackColor = 1;
  ASSERT_EQ(ConvertPixels(r), 0);
  EXPECT_EQ(out.Word(0, 0), 0x40000000u);
}

TEST(ConvertPixels, MirrorAndSkipKey) {
  OwnedImage src(Format(MakeXrgb8Format), 3, 1);
  src.SetWord(0, 0, 1);
  src.SetWord(1, 0, 2);
  src.SetWord(2, 0, 3);
  // Same layout, mirrored.
  OwnedImage same(Format(MakeXrgb8Format), 3, 1);
  PixelConversion c = Whole(same, src);
  c.mirror = 1;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(same.Word(0, 0), 3u);
  EXPECT_EQ(same.Word(2, 0), 1u);
  // General path, mirrored, into a part of a wider destination.
  OwnedImage rgb(Format(MakeRgb24Format), 5, 1);
  c = Whole(rgb, src);
  c.mirror = 1;
  c.destX = 1;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(rgb.Word(0, 0), 0u);
  EXPECT_EQ(rgb.Word(1, 0), 3u);
  EXPECT_EQ(rgb.Word(3, 0), 1u);
  EXPECT_EQ(rgb.Word(4, 0), 0u);

  // Skip-key leaves key pixels untouched (raw word compared, cut to the pixel size).
  OwnedImage key(Format(MakeRgb24Format), 3, 1);
  key.SetWord(0, 0, 0x00FF00);
  key.SetWord(1, 0, 0x123456);
  key.SetWord(2, 0, 0x00FF00);
  for (bool sameLayout : {true, false}) {
    OwnedImage dst(sameLayout ? Format(MakeRgb24Format) : Format(MakeXrgb8Format), 3, 1);
    dst.Fill(0xABCDEF);
    c = Whole(dst, key);
    c.skipKey = 1;
    c.keyColor = 0x00FF00;
    ASSERT_EQ(ConvertPixels(c), 0);
    EXPECT_EQ(dst.Word(0, 0), 0xABCDEFu) << sameLayout;
    EXPECT_EQ(dst.Word(1, 0) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(dst.Word(2, 0), 0xABCDEFu);
    // Mirroring switches skipping off.
    c.mirror = 1;
    ASSERT_EQ(ConvertPixels(c), 0);
    EXPECT_EQ(dst.Word(0, 0) & 0xFFFFFF, 0x00FF00u);
  }
}

TEST(ConvertPixels, PaletteCopiesRemapsAndLookups) {
  ColorFormat a{}, b{};
  MakePaletteFormat(&a);
  MakePaletteFormat(&b);
  for (int i = 0; i < 256; ++i) {
    a.palette[i][2] = uint8_t(i);        // entry i: red i
    b.palette[255 - i][2] = uint8_t(i);  // the same colours in reverse order
  }
  OwnedImage src(a, 3, 2);
  src.SetWord(0, 0, 4);
  src.SetWord(1, 0, 200);
  src.SetWord(2, 1, 9);
  OwnedImage dst(b, 3, 2);
  PixelConversion c = Whole(dst, src);
  EXPECT_EQ(ConvertPixels(c), 200);  // index copy: the largest index copied
  EXPECT_EQ(dst.Word(1, 0), 200u);
  c.paletteRemap = 1;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(dst.Word(0, 0), 251u);
  EXPECT_EQ(dst.Word(1, 0), 55u);
  EXPECT_EQ(dst.Word(2, 1), 246u);

  // Palette into ARGB8: full alpha, or the key turned into alpha.
  OwnedImage argb(Format(MakeArgb8Format), 3, 2);
  c = Whole(argb, src);
  c.keyToAlpha = 1;
  c.keyColor = 0x090000;
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(argb.Word(1, 0), 0xFFC80000u);
  EXPECT_EQ(argb.Word(2, 1), 0x00090000u);

  // Into a palette: channels unscaled, then the nearest entry.
  OwnedImage rgb(Format(MakeRgb24Format), 2, 1);
  rgb.SetWord(0, 0, 0x7F0000);
  rgb.SetWord(1, 0, 0x030000);
  OwnedImage pal(b, 2, 1);
  ASSERT_EQ(ConvertPixels(Whole(pal, rgb)), 0);
  EXPECT_EQ(pal.Word(0, 0), 128u);
  EXPECT_EQ(pal.Word(1, 0), 252u);
}

TEST(ConvertPixels, OrderedDitherFollowsTheMatrix) {
  // 8 -> 5 bits drops 3: the threshold at (x, y) is 8 * M[y][x] >> 4 = M / 2. A dropped part
  // of 4 carries wherever M < 8.
  OwnedImage src(Format(MakeRgb24Format), 4, 4);
  src.Fill(0x040404);
  OwnedImage dst(kRgb565, 4, 4);
  PixelConversion c = Whole(dst, src);
  c.ditherMode = kDitherOrdered;
  ASSERT_EQ(ConvertPixels(c), 0);
  const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Word(x, y) >> 11, m[y][x] < 8 ? 1u : 0u) << x << "," << y;
  // A full channel is clamped, never wraps.
  src.Fill(0xFFFFFF);
  ASSERT_EQ(ConvertPixels(c), 0);
  EXPECT_EQ(dst.Word(0, 0), 0xFFFFu);
  // Without width conversion nothing is dithered.
  OwnedImage same(Format(MakeXrgb8Format), 4, 4);
  src.Fill(0x040404);
  PixelConversion s = Whole(same, src);
  s.ditherMode = kDitherOrdered;
  ASSERT_EQ(ConvertPixels(s), 0);
  EXPECT_EQ(same.Word(0, 0), 0xFF040404u);
}

TEST(ConvertPixels, CarriedErrorRunsOnAcrossRows) {
  OwnedImage src(Format(MakeRgb24Format), 3, 2);
  src.Fill(0x000004);  // blue drops 4 of 8 per pixel
  OwnedImage dst(kRgb565, 3, 2);
  PixelConversion c = Whole(dst, src);
  c.ditherMode = kDitherCarried;
  ASSERT_EQ(ConvertPixels(c), 0);
  // Sums 4, 8 (carry), 4, 8 (carry), ... continuing from the end of one row into the next.
  EXPECT_EQ(dst.Word(0, 0), 0u);
  EXPECT_EQ(dst.Word(1, 0), 1u);
  EXPECT_EQ(dst.Word(2, 0), 0u);
  EXPECT_EQ(dst.Word(0, 1), 1u);
  EXPECT_EQ(dst.Word(1, 1), 0u);
  EXPECT_EQ(dst.Word(2, 1), 1u);
}

// Wide rows take the unrolled and vector paths; every pixel must still follow the rule.
TEST(ConvertPixels, WideRowsFollowThePerPixelRule) {
  const int w = 37, h = 3;
  uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  ColorFormat pal{};
  MakePaletteFormat(&pal);
  for (auto& e : pal.palette)
    for (auto& b : e) b = uint8_t(next() >> 24);
  struct Case {
    ColorFormat source, dest;
    int keyToAlpha;
    uint32_t (*expected)(uint32_t word, const ColorFormat& source);
  } cases[] = {
      {Format(MakeRgb24Format), Format(MakeArgb8Format), 1,
       [](uint32_t v, const ColorFormat&) { return v == 0x123456 ? v : 0xFF000000u | v; }},
      {Format(MakeRgb24Format), Format(MakeXrgb8Format), 0,
       [](uint32_t v, const ColorFormat&) { return 0xFF000000u | v; }},
      {Format(MakeXrgb8Format), Format(MakeArgb8Format), 1,
       [](uint32_t v, const ColorFormat&) { return (v & 0xFFFFFF) == 0x123456 ? v & 0xFFFFFF : 0xFF000000u | v; }},
      {Format(MakeRgb24Format), kRgb565, 0,
       [](uint32_t v, const ColorFormat&) { return (v >> 8 & 0xF800) | (v >> 5 & 0x07E0) | (v >> 3 & 0x1F); }},
      {Format(MakeArgb8Format), kArgb4444, 0,
       [](uint32_t v, const ColorFormat&) {
         return (v >> 16 & 0xF000) | (v >> 12 & 0x0F00) | (v >> 8 & 0x00F0) | (v >> 4 & 0x000F);
       }},
      {pal, Format(MakeArgb8Format), 0,
       [](uint32_t v, const ColorFormat& f) { return 0xFF000000u | (PaletteWord(f, v) & 0xFFFFFF); }},
  };
  for (const Case& c : cases) {
    OwnedImage src(c.source, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) src.SetWord(x, y, (x + y) % 5 == 0 ? 0x123456 : next());
    for (int mirror : {0, 1}) {
      OwnedImage dst(c.dest, w + 2, h);
      PixelConversion conversion = Whole(dst, src);
      conversion.destX = 1;
      conversion.keyToAlpha = c.keyToAlpha;
      conversion.keyColor = 0x123456;
      conversion.mirror = mirror;
      ASSERT_EQ(ConvertPixels(conversion), 0);
      uint32_t cut = c.source.pixelBytes == 4 ? 0xFFFFFFFFu : (1u << (8 * c.source.pixelBytes)) - 1;
      for (int y = 0; y < h; ++y) {
        EXPECT_EQ(dst.Word(0, y), 0u);
        EXPECT_EQ(dst.Word(w + 1, y), 0u);
        for (int x = 0; x < w; ++x) {
          int out = 1 + (mirror ? w - 1 - x : x);
          ASSERT_EQ(dst.Word(out, y), c.expected(src.Word(x, y) & cut, c.source))
              << "pixel " << x << "," << y << " mirror " << mirror << " dest bits " << c.dest.colorBits;
        }
      }
    }
  }
}

TEST(ConvertPixels, EmptyRectangleFails) {
  OwnedImage src(Format(MakeRgb24Format), 2, 2);
  OwnedImage dst(Format(MakeRgb24Format), 2, 2);
  PixelConversion c = Whole(dst, src);
  c.right = c.left;
  EXPECT_EQ(ConvertPixels(c), -1);
  c = Whole(dst, src);
  c.bottom = 0;
  EXPECT_EQ(ConvertPixels(c), -1);
}

TEST(CopyImageRect, ClipsOnBothSides) {
  OwnedImage src(Format(MakeXrgb8Format), 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.SetWord(x, y, uint32_t(y * 4 + x + 1));
  OwnedImage dst(Format(MakeXrgb8Format), 4, 4);
  // Two columns lie left of the source: the rest lands two columns further right.
  ASSERT_EQ(CopyImageRect(-2, 0, 4, 1, 0, 0, src.get(), dst.get()), 0);
  EXPECT_EQ(dst.Word(0, 0), 0u);
  EXPECT_EQ(dst.Word(1, 0), 0u);
  EXPECT_EQ(dst.Word(2, 0), 1u);
  EXPECT_EQ(dst.Word(3, 0), 2u);
  // A negative destination moves the source start; the right edge cuts the width.
  dst.Fill(0);
  ASSERT_EQ(CopyImageRect(0, 1, 4, 4, -1, 2, src.get(), dst.get()), 0);
  EXPECT_EQ(dst.Word(0, 2), 6u);
  EXPECT_EQ(dst.Word(2, 3), 12u);
  EXPECT_EQ(dst.Word(3, 3), 0u);
  EXPECT_EQ(dst.Word(0, 1), 0u);
  // Entirely outside: nothing is copied and that is no failure.
  dst.Fill(7);
  EXPECT_EQ(CopyImageRect(-10, 0, 4, 4, 0, 0, src.get(), dst.get()), 0);
  EXPECT_EQ(CopyImageRect(0, 0, 4, 4, 4, 0, src.get(), dst.get()), 0);
  EXPECT_EQ(CopyImageRect(5, 0, 4, 4, 0, 0, src.get(), dst.get()), 0);
  EXPECT_EQ(CopyImageRect(0x7FFFFFF0, 0x7FFFFFF0, 0x7FFFFFFF, 4, 0, 0, src.get(), dst.get()), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Word(x, y), 7u);
}

TEST(DeviceIndependentBitmap, PaletteAnd24BitForms) {
  ColorFormat pal{};
  MakeGrayFormat(&pal);
  OwnedImage gray(pal, 4, 2);  // pitch 4: used as it is
  gray.SetWord(3, 1, 77);
  DibInfo info{};
  void* pixels = nullptr;
  EXPECT_EQ(ImageToDib(gray.get(), &info, &pixels, 0, 0), 0);
  EXPECT_EQ(pixels, gray->pixels);
  EXPECT_EQ(info.size, 40u);
  EXPECT_EQ(info.height, -2);
  EXPECT_EQ(info.bitCount, 8);
  EXPECT_EQ(info.planes, 1);
  EXPECT_EQ(info.colors[77][1], 77);
  EXPECT_EQ(ImageToDib(gray.get(), &info, &pixels, 1, 0), 1);  // forced copy
  EXPECT_NE(pixels, gray->pixels);
  EXPECT_EQ(static_cast<unsigned char*>(pixels)[4 + 3], 77);
  FreeMemory(pixels);

  // Forced to 24 bits, a palette picture becomes blue-green-red with a padded pitch.
  ASSERT_EQ(ImageToDib(gray.get(), &info, &pixels, 0, 1), 1);
  EXPECT_EQ(info.bitCount, 24);
  const unsigned char* p = static_cast<unsigned char*>(pixels);
  EXPECT_EQ(p[12 + 9], 77);
  EXPECT_EQ(p[12 + 11], 77);
  FreeMemory(pixels);

  OwnedImage argb(Format(MakeArgb8Format), 2, 1);
  argb.SetWord(1, 0, 0x80112233);
  ASSERT_EQ(ImageToDib(argb.get(), &info, &pixels, 0, 0), 1);
  p = static_cast<unsigned char*>(pixels);
  EXPECT_EQ(p[3], 0x33);
  EXPECT_EQ(p[4], 0x22);
  EXPECT_EQ(p[5], 0x11);
  FreeMemory(pixels);

  OwnedImage rgb(Format(MakeRgb24Format), 4, 1);  // pitch 12 = the bitmap's pitch
  EXPECT_EQ(ImageToDib(rgb.get(), &info, &pixels, 0, 0), 0);
  EXPECT_EQ(pixels, rgb->pixels);
}

}  // namespace
}  // namespace qr::image
