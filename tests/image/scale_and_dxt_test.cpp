#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/base_image.h"
#include "image_test_util.h"
#include "qr.h"

namespace qr::image {
namespace {
using testing::Format;
using testing::MaskFormat;
using testing::OwnedImage;

TEST(ScaleImageRect, EqualSizesIsTheRectangleCopy) {
  ColorFormat a{}, b{};
  MakePaletteFormat(&a);
  MakePaletteFormat(&b);
  for (int i = 0; i < 256; ++i) {
    a.palette[i][1] = uint8_t(i);
    b.palette[255 - i][1] = uint8_t(i);
  }
  OwnedImage src(a, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.SetWord(x, y, uint32_t(y * 16 + x));
  OwnedImage viaScale(b, 4, 4), viaCopy(b, 4, 4);
  ASSERT_EQ(ScaleImageRect(1, 1, 4, 3, src.get(), 0, 2, 3, 4, viaScale.get(), 1), 0);
  ASSERT_EQ(CopyImageRect(1, 1, 3, 2, 0, 2, src.get(), viaCopy.get()), 0);
  EXPECT_EQ(std::memcmp(viaScale->pixels, viaCopy->pixels, size_t(viaCopy->pitch) * 4), 0);
  EXPECT_EQ(viaScale.Word(0, 2), 255u - 17u);  // remapped through the palettes
}

TEST(ScaleImageRect, RejectsRectanglesOutsideEitherImage) {
  OwnedImage src(Format(MakeXrgb8Format), 4, 4), dst(Format(MakeXrgb8Format), 8, 8);
  EXPECT_EQ(ScaleImageRect(0, 0, 5, 4, src.get(), 0, 0, 8, 8, dst.get(), 0), -1);
  EXPECT_EQ(ScaleImageRect(-1, 0, 4, 4, src.get(), 0, 0, 8, 8, dst.get(), 0), -1);
  EXPECT_EQ(ScaleImageRect(2, 0, 2, 4, src.get(), 0, 0, 8, 8, dst.get(), 0), -1);
  EXPECT_EQ(ScaleImageRect(0, 0, 4, 4, src.get(), 0, 0, 8, 9, dst.get(), 0), -1);
  EXPECT_EQ(ScaleImageRect(0, 0, 4, 4, src.get(), 3, 3, 2, 8, dst.get(), 0), -1);
}

TEST(ScaleImageRect, NearestRepeatsAndBilinearWhiteIs254) {
  OwnedImage src(Format(MakeArgb8Format), 2, 2);
  src.SetWord(0, 0, 0xFF000010);
  src.SetWord(1, 0, 0xFF000020);
  src.SetWord(0, 1, 0xFF000030);
  src.SetWord(1, 1, 0xFF000040);
  OwnedImage dst(Format(MakeArgb8Format), 4, 4);
  ASSERT_EQ(ScaleImageRect(0, 0, 2, 2, src.get(), 0, 0, 4, 4, dst.get(), 0), 0);
  EXPECT_EQ(dst.Word(0, 0), 0xFF000010u);
  EXPECT_EQ(dst.Word(1, 1), 0xFF000010u);
  EXPECT_EQ(dst.Word(2, 1), 0xFF000020u);
  EXPECT_EQ(dst.Word(3, 3), 0xFF000040u);

  src.Fill(0xFFFFFFFF);
  ASSERT_EQ(ScaleImageRect(0, 0, 2, 2, src.get(), 0, 0, 4, 4, dst.get(), 1), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Word(x, y), 0xFEFEFEFEu) << x << "," << y;

  // Halfway between 0x10 and 0x20 (fx = 0x8000): weights 0x7FFF and 0x7FFF.
  src.SetWord(0, 0, 0x10);
  src.SetWord(1, 0, 0x20);
  src.SetWord(0, 1, 0x10);
  src.SetWord(1, 1, 0x20);
  ASSERT_EQ(ScaleImageRect(0, 0, 2, 2, src.get(), 0, 0, 4, 4, dst.get(), 1), 0);
  EXPECT_EQ(dst.Word(1, 0) & 0xFF, (0x7FFEu * 0x10 + 0x7FFFu * 0x20) >> 16);
  // The last column's right neighbour repeats the edge instead of reading past it.
  EXPECT_EQ(dst.Word(3, 0) & 0xFF, (0x7FFEu * 0x20 + 0x7FFFu * 0x20) >> 16);
}

TEST(HalveImageRect, AveragesBlocksPairsAndSinglePixels) {
  ColorFormat argb = Format(MakeArgb8Format);
  uint32_t src[2 * 4] = {0x04080C10, 0x00000000, 0xFFFFFFFF, 0xFFFFFFFF,
                         0x04080C10, 0x04080C10, 0xFFFFFFFF, 0xFFFFFFFD};
  uint32_t dst[2] = {};
  ASSERT_EQ(HalveImageRect(&argb, dst, 8, src, 16, 4, 2), 0);
  EXPECT_EQ(dst[0], 0x0306090Cu);  // (3 * 0x04) >> 2 = 3, ...
  EXPECT_EQ(dst[1], 0xFFFFFFFEu);
  // One pixel high: pairs.
  ASSERT_EQ(HalveImageRect(&argb, dst, 8, src, 16, 4, 1), 0);
  EXPECT_EQ(dst[0], 0x02040608u);
  // One pixel wide: vertical pairs; 1 x 1: a copy.
  ASSERT_EQ(HalveImageRect(&argb, dst, 4, src + 2, 16, 1, 2), 0);
  EXPECT_EQ(dst[0], 0xFFFFFFFFu);
  ASSERT_EQ(HalveImageRect(&argb, dst, 4, src, 16, 1, 1), 0);
  EXPECT_EQ(dst[0], 0x04080C10u);

  // 5-6-5 channels by mask.
  ColorFormat rgb565 = MaskFormat(16, 0xF800, 0x07E0, 0x001F, 0);
  uint16_t s16[4] = {0xF800, 0x0000, 0x07E0, 0x001F};
  uint16_t d16 = 0;
  ASSERT_EQ(HalveImageRect(&rgb565, &d16, 2, s16, 4, 2, 2), 0);
  EXPECT_EQ(d16, (7u << 11) | (15u << 5) | 7u);

  // Odd sizes fail; other depths write nothing.
  EXPECT_EQ(HalveImageRect(&argb, dst, 8, src, 16, 3, 2), -1);
  EXPECT_EQ(HalveImageRect(&argb, dst, 8, src, 16, 2, 3), -1);
  ColorFormat rgb = Format(MakeRgb24Format);
  dst[0] = 0x12345678;
  EXPECT_EQ(HalveImageRect(&rgb, dst, 8, src, 16, 2, 2), 0);
  EXPECT_EQ(dst[0], 0x12345678u);
}

// A compressed image of the given kind over a copy of the blocks.
struct DxtImage {
  BaseImage image{};
  DxtImage(uint32_t compression, int width, int height, const std::vector<uint8_t>& blocks) {
    MakeArgb8Format(&image.format);
    image.format.compression = compression;
    image.format.colorBits = compression == 1 ? 4 : 8;
    image.width = width;
    image.height = height;
    image.pixels = static_cast<unsigned char*>(AllocMemory(blocks.size(), __FILE__, __LINE__));
    std::memcpy(image.pixels, blocks.data(), blocks.size());
  }
  ~DxtImage() { FreeImagePixels(&image); }
  uint32_t At(int x, int y) const {
    uint32_t w;
    std::memcpy(&w, image.pixels + size_t(y) * size_t(image.pitch) + size_t(x) * 4, 4);
    return w;
  }
};

const std::vector<uint8_t> four = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};

TEST(DecodeDxtImage, Dxt1FourAndThreeColourModes) {
  // Colour 0 pure red (0xF800), colour 1 pure blue (0x001F); indices 0,1,2,3 along each row.
  DxtImage a(1, 4, 4, four);
  ASSERT_EQ(DecodeDxtImage(&a.image), 0);
  EXPECT_EQ(a.image.format.compression, 0u);
  EXPECT_EQ(a.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(a.image.pitch, 16);
  EXPECT_EQ(a.At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(a.At(1, 0), 0xFF0000FFu);
  EXPECT_EQ(a.At(2, 3), 0xFFAA0055u);  // (2a + b) / 3
  EXPECT_EQ(a.At(3, 3), 0xFF5500AAu);

  // First colour not greater than the second: entry 2 is the average, entry 3 that average
  // with alpha 0.
  std::vector<uint8_t> three = {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4};
  DxtImage b(1, 4, 4, three);
  ASSERT_EQ(DecodeDxtImage(&b.image), 0);
  EXPECT_EQ(b.At(2, 0), 0xFF7F007Fu);
  EXPECT_EQ(b.At(3, 0), 0x007F007Fu);
}

TEST(DecodeDxtImage, AlphaKindsAndPartialBlocks) {
  // DXT3: 4-bit alpha x 17, pixel i in nibble i.
  std::vector<uint8_t> dxt3 = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                               0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
  DxtImage a(3, 4, 4, dxt3);
  ASSERT_EQ(DecodeDxtImage(&a.image), 0);
  EXPECT_EQ(a.At(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(a.At(1, 0) >> 24, 17u);
  EXPECT_EQ(a.At(3, 3) >> 24, 255u);

  // DXT5, alpha 0 > alpha 1: eight steps with division by 7. Second block: alpha 0 <= alpha 1:
  // six steps, then 0 and 255. Indices: block one 2, 1, 0...; block two 2, 6, 7, 0...
  std::vector<uint8_t> dxt5 = {200, 10, 0x0A, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,
                               10, 200, 0xF2, 0x01, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  DxtImage b(5, 8, 4, dxt5);
  ASSERT_EQ(DecodeDxtImage(&b.image), 0);
  EXPECT_EQ(b.At(0, 0), uint32_t((6 * 200 + 10) / 7) << 24 | 0xFFFFFF);
  EXPECT_EQ(b.At(1, 0) >> 24, 10u);
  EXPECT_EQ(b.At(2, 0) >> 24, 200u);
  EXPECT_EQ(b.At(4, 0) >> 24, uint32_t((4 * 10 + 200) / 5));
  EXPECT_EQ(b.At(5, 0) >> 24, 0u);
  EXPECT_EQ(b.At(6, 0) >> 24, 255u);
  EXPECT_EQ(b.At(7, 0) >> 24, 10u);

  // DXT2: premultiplied colour is divided back by alpha (8 -> 136).
  std::vector<uint8_t> dxt2 = {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88,
                               0x08, 0x42, 0x08, 0x42, 0, 0, 0, 0};
  DxtImage c(2, 4, 4, dxt2);
  ASSERT_EQ(DecodeDxtImage(&c.image), 0);
  EXPECT_EQ(c.At(0, 0), 0x88797879u);  // 65 * 255 / 136 = 121, 64 * 255 / 136 = 120

  // 6 x 6 needs 2 x 2 blocks; the pixels past the edge are dropped.
  std::vector<uint8_t> dxt1;
  for (uint16_t color : {0xF800, 0x001F, 0x07E0, 0xFFFF})
    for (uint8_t byte : {uint8_t(color), uint8_t(color >> 8), uint8_t(0), uint8_t(0), uint8_t(0),
                         uint8_t(0), uint8_t(0), uint8_t(0)})
      dxt1.push_back(byte);
  EXPECT_EQ(DxtLevelBytes(1, 6, 6), dxt1.size());
  EXPECT_EQ(DxtLevelBytes(5, 6, 6), 64u);
  DxtImage d(1, 6, 6, dxt1);
  ASSERT_EQ(DecodeDxtImage(&d.image), 0);
  EXPECT_EQ(d.image.pitch, 24);
  EXPECT_EQ(d.At(3, 3), 0xFFFF0000u);
  EXPECT_EQ(d.At(4, 0), 0xFF0000FFu);
  EXPECT_EQ(d.At(0, 5), 0xFF00FF00u);
  EXPECT_EQ(d.At(5, 5), 0xFFFFFFFFu);

  // Reading a pixel decompresses first.
  DxtImage e(1, 4, 4, four);
  int r = 0, g = 0, bl = 0, al = 0;
  ASSERT_EQ(ReadImagePixel(&e.image, 1, 0, &r, &g, &bl, &al), 0);
  EXPECT_EQ(e.image.format.compression, 0u);
  EXPECT_EQ(bl, 255);
}

}  // namespace
}  // namespace qr::image
