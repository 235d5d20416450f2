#include <gtest/gtest.h>

#include "image/base_image.h"
#include "image_test_util.h"

namespace qr::image {
namespace {
using testing::Format;
using testing::MaskFormat;
using testing::OwnedImage;

TEST(ColorFormat, MasksGiveShiftsWidthsAndSpareBits) {
  struct Case {
    int bits;
    uint32_t r, g, b, a;
    uint8_t rs, rw, gs, gw, bs, bw, as, aw;
    uint32_t spare;
    uint8_t spareShift, spareWidth;
  } cases[] = {
      {16, 0xF800, 0x07E0, 0x001F, 0, 11, 5, 5, 6, 0, 5, 0, 0, 0, 0, 0},
      {16, 0x7C00, 0x03E0, 0x001F, 0, 10, 5, 5, 5, 0, 5, 0, 0, 0x8000, 15, 1},
      {32, 0xFF0000, 0xFF00, 0xFF, 0, 16, 8, 8, 8, 0, 8, 0, 0, 0xFF000000, 24, 8},
      {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 20, 10, 10, 10, 0, 10, 30, 2, 0, 0, 0},
      {8, 0xE0, 0x1C, 0x03, 0, 5, 3, 2, 3, 0, 2, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    ColorFormat f = MaskFormat(c.bits, c.r, c.g, c.b, c.a);
    SCOPED_TRACE(c.bits);
    EXPECT_EQ(f.pixelBytes, c.bits / 8);
    EXPECT_EQ(f.redShift, c.rs);
    EXPECT_EQ(f.redWidth, c.rw);
    EXPECT_EQ(f.greenShift, c.gs);
    EXPECT_EQ(f.greenWidth, c.gw);
    EXPECT_EQ(f.blueShift, c.bs);
    EXPECT_EQ(f.blueWidth, c.bw);
    EXPECT_EQ(f.alphaShift, c.as);
    EXPECT_EQ(f.alphaWidth, c.aw);
    EXPECT_EQ(f.spareMask, c.spare);
    EXPECT_EQ(f.spareShift, c.spareShift);
    EXPECT_EQ(f.spareWidth, c.spareWidth);
    EXPECT_EQ(f.compression, 0u);
  }
}

TEST(ColorFormat, StandardFormats) {
  ColorFormat gray = Format(MakeGrayFormat);
  EXPECT_EQ(gray.pixelBytes, 1);
  EXPECT_EQ(gray.palette[200][0], 200);
  EXPECT_EQ(gray.palette[200][2], 200);
  EXPECT_EQ(gray.palette[200][3], 0);
  ColorFormat argb = Format(MakeArgb8Format);
  EXPECT_EQ(argb.alphaMask, 0xFF000000u);
  EXPECT_EQ(argb.spareMask, 0u);
  ColorFormat xrgb = Format(MakeXrgb8Format);
  EXPECT_EQ(xrgb.spareMask, 0xFF000000u);
  EXPECT_EQ(xrgb.spareShift, 24);
  ColorFormat rgb = Format(MakeRgb24Format);
  EXPECT_EQ(rgb.pixelBytes, 3);
  EXPECT_EQ(rgb.spareMask, 0u);

  // The palette creator keeps the palette.
  ColorFormat pal{};
  pal.palette[7][1] = 99;
  MakePaletteFormat(&pal);
  EXPECT_EQ(pal.palette[7][1], 99);
  EXPECT_EQ(pal.spareMask, 0xFF000000u);

  ColorFormat f = MaskFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
  f.spareMask = 0x1234;
  UpdateSpareMask(&f);  // 5 + 5 + 5 + 1 = 16
  EXPECT_EQ(f.spareMask, 0u);
  f.alphaWidth = 0;
  f.alphaMask = 0;
  UpdateSpareMask(&f);
  EXPECT_EQ(f.spareMask, 0x8000u);
}

TEST(ColorFormat, PackSetsSpareBitsAndDropsLowBits) {
  ColorFormat xrgb = Format(MakeXrgb8Format);
  EXPECT_EQ(PackFormatColor(&xrgb, 255, 0, 0, 17), 0xFFFF0000u);
  ColorFormat argb = Format(MakeArgb8Format);
  EXPECT_EQ(PackFormatColor(&argb, 1, 2, 3, 0x80), 0x80010203u);
  ColorFormat rgb565 = MaskFormat(16, 0xF800, 0x07E0, 0x001F, 0);
  EXPECT_EQ(PackFormatColor(&rgb565, 0xFF, 0x84, 0x0F, 0), (31u << 11) | (0x21u << 5) | 1u);
  ColorFormat x555 = MaskFormat(16, 0x7C00, 0x03E0, 0x001F, 0);
  EXPECT_EQ(PackFormatColor(&x555, 0, 0, 0, 0), 0x8000u);
  ColorFormat a1555 = MaskFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
  EXPECT_EQ(PackFormatColor(&a1555, 0, 0, 0, 0x7F), 0u);
  EXPECT_EQ(PackFormatColor(&a1555, 0, 0, 0, 0x80), 0x8000u);
}

TEST(ColorFormat, PaletteColourIsTheNearestEntryLowerIndexOnTies) {
  ColorFormat pal{};
  MakePaletteFormat(&pal);
  for (auto& e : pal.palette) e[0] = e[1] = e[2] = 255;  // all white
  auto set = [&](int i, uint8_t r, uint8_t g, uint8_t b) {
    pal.palette[i][2] = r;
    pal.palette[i][1] = g;
    pal.palette[i][0] = b;
  };
  set(3, 10, 10, 10);
  set(9, 30, 10, 10);
  set(12, 30, 10, 10);
  EXPECT_EQ(PackFormatColor(&pal, 11, 10, 10, 0), 3u);
  EXPECT_EQ(PackFormatColor(&pal, 28, 10, 10, 255), 9u);
  EXPECT_EQ(PackFormatColor(&pal, 20, 10, 10, 0), 3u);  // equal distance to 3 and 9: lower wins
  EXPECT_EQ(PackFormatColor(&pal, 250, 250, 250, 0), 0u);
}

TEST(ColorFormat, UnpackScalesEachWidthTo255) {
  ColorFormat x555 = MaskFormat(16, 0x7C00, 0x03E0, 0x001F, 0);
  int r = -1, g = -1, b = -1, a = -1;
  UnpackFormatColor(&x555, (31u << 10) | (16u << 5) | 0u, &r, &g, &b, &a);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 131);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(a, 0);  // no alpha channel
  ColorFormat a4 = MaskFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
  UnpackFormatColor(&a4, 0x8F00, &r, nullptr, nullptr, &a);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(a, 136);
  ColorFormat wide = MaskFormat(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000);
  UnpackFormatColor(&wide, 0xFFFFFFFFu, &r, &g, &b, &a);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(a, 255);
}

TEST(ColorFormat, PixelAccessChecksBoundsAndReadsPaletteEntries) {
  ColorFormat pal{};
  MakePaletteFormat(&pal);
  pal.palette[5][0] = 1;
  pal.palette[5][1] = 2;
  pal.palette[5][2] = 3;
  pal.palette[5][3] = 4;
  OwnedImage image(pal, 3, 2);
  image.SetWord(2, 1, 5);
  int r, g, b, a;
  ASSERT_EQ(ReadImagePixel(image.get(), 2, 1, &r, &g, &b, &a), 0);
  EXPECT_EQ(r, 3);
  EXPECT_EQ(g, 2);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(a, 4);
  EXPECT_EQ(ReadImagePixel(image.get(), 3, 0, &r, &g, &b, &a), -1);
  EXPECT_EQ(ReadImagePixel(image.get(), -1, 0, &r, &g, &b, &a), -1);
  EXPECT_EQ(ReadImagePixel(image.get(), 0, 2, nullptr, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(WriteImagePixel(image.get(), 0, -5, 0, 0, 0, 0), -1);

  OwnedImage argb(Format(MakeArgb8Format), 2, 2);
  ASSERT_EQ(WriteImagePixel(argb.get(), 1, 1, 10, 20, 30, 40), 0);
  EXPECT_EQ(argb.Word(1, 1), 0x280A141Eu);
  ASSERT_EQ(ReadImagePixel(argb.get(), 1, 1, &r, &g, &b, &a), 0);
  EXPECT_EQ(r + g + b + a, 100);
}

TEST(BaseImage, AllocationPitchMirrorAndClear) {
  OwnedImage rgb(Format(MakeRgb24Format), 5, 3);
  EXPECT_EQ(rgb->pitch, 16);  // 15 rounded up to 4
  EXPECT_EQ(rgb->mipCount, 0);
  for (int x = 0; x < 5; ++x) rgb.SetWord(x, 1, 0x010101u * uint32_t(x + 1));
  ASSERT_EQ(MirrorImageRows(rgb.get()), 0);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(rgb.Word(x, 1), 0x010101u * uint32_t(5 - x));
  rgb.Fill(0xABCDEF);
  ClearImageRect(rgb.get(), 3, 1, 10, 10);  // reaches past the edges: clipped
  EXPECT_EQ(rgb.Word(2, 1), 0xABCDEFu);
  EXPECT_EQ(rgb.Word(3, 1), 0u);
  EXPECT_EQ(rgb.Word(4, 2), 0u);
  EXPECT_EQ(rgb.Word(4, 0), 0xABCDEFu);

  BaseImage empty{};
  ColorFormat f = Format(MakeXrgb8Format);
  EXPECT_EQ(AllocImagePixels(-1, 4, &f, &empty), -1);
  EXPECT_EQ(empty.pixels, nullptr);
  EXPECT_EQ(AllocImagePixels(0, 4, &f, &empty), 0);
  EXPECT_EQ(MirrorImageRows(&empty), -1);
  FreeImagePixels(&empty);
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.pixels, nullptr);

  BaseImage argb{};
  ASSERT_EQ(AllocArgb8ImagePixels(3, 1, &argb), 0);
  EXPECT_EQ(argb.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(argb.pitch, 12);
  FreeImagePixels(&argb);
}

}  // namespace
}  // namespace qr::image
