#include <gtest/gtest.h>

#include <png.h>

#include <string>

#include "decoder_support.h"
#include "qr.h"

namespace qr::image {
namespace {
using testing::BmpLayout;
using testing::Bytes;
using testing::Decoded;
using testing::MakeBmp;
using testing::MakePng;
using testing::MakeTga;
using testing::PngLayout;
using testing::TgaLayout;

Bytes SmallBmp() {
  BmpLayout s;
  s.width = 3;
  s.height = -1;
  s.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  return MakeBmp(s);
}

Bytes GrayPng(uint8_t value) {
  PngLayout s;
  s.width = 3;
  s.colorType = PNG_COLOR_TYPE_GRAY;
  s.rows = {{value, value, value}};
  return MakePng(s);
}

int calls = 0;
int ReadsAndDeclines(const file::StreamReader& reader, BaseImage*) {
  ++calls;
  unsigned char skip[5];
  reader.Read(skip, 1, sizeof skip);
  return -1;
}
int AlwaysOneByOne(const file::StreamReader&, BaseImage* image) {
  ++calls;
  return AllocXrgb8ImagePixels(1, 1, image);
}

class DecoderChain : public ::testing::Test {
 protected:
  void TearDown() override { ClearImageDecoders(); }
};

TEST_F(DecoderChain, AddedDecodersComeFirstAndEachStartsAtOffsetZero) {
  calls = 0;
  ASSERT_EQ(AddImageDecoder(ReadsAndDeclines), 0);
  ASSERT_EQ(AddImageDecoder(ReadsAndDeclines), 0);
  Decoded bmp(RunDecoderChain, SmallBmp());
  ASSERT_EQ(bmp.result, 0);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(bmp.image.width, 3);

  ASSERT_EQ(AddImageDecoder(AlwaysOneByOne), 0);
  Decoded first(RunDecoderChain, SmallBmp());
  ASSERT_EQ(first.result, 0);
  EXPECT_EQ(first.image.width, 1);  // the added decoder won
  for (int i = 3; i < kMaxAddedDecoders; ++i) EXPECT_EQ(AddImageDecoder(ReadsAndDeclines), 0);
  EXPECT_EQ(AddImageDecoder(ReadsAndDeclines), -1);
  EXPECT_EQ(AddImageDecoder(nullptr), -1);
}

TEST_F(DecoderChain, ContentDecidesAndUnknownDataFails) {
  Decoded png(RunDecoderChain, GrayPng(50));
  ASSERT_EQ(png.result, 0);
  EXPECT_EQ(png.Word(2, 0), 50u);

  TgaLayout t;
  t.pixels = {7, 8, 9};
  Decoded tga(RunDecoderChain, MakeTga(t));
  ASSERT_EQ(tga.result, 0);
  EXPECT_EQ(tga.Word(0, 0), 0x090807u);

  int blocks = qr::core::CurrentMemoryTotals().blockCount;
  for (const Bytes& junk : {Bytes{}, Bytes{'B', 'M'}, Bytes(100, 0xFF), Bytes(300, 0)}) {
    Decoded d(RunDecoderChain, junk);
    EXPECT_EQ(d.result, -1);
    EXPECT_EQ(d.image.pixels, nullptr);
  }
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, blocks);
}

TEST(LoadImageFile, FromMemoryMirroredOrAsBitmap) {
  Bytes bmp = SmallBmp();
  BaseImage image{};
  ASSERT_EQ(LoadImageFile(nullptr, bmp.data(), bmp.size(), 1, 0, 1, &image, nullptr, nullptr), 0);
  EXPECT_EQ(LoadPixelWord(image.pixels, 3), 0x090807u);
  EXPECT_EQ(LoadPixelWord(image.pixels + 6, 3), 0x030201u);
  FreeImagePixels(&image);

  // A palette picture as an 8-bit bitmap, its rows repacked to a 4-byte pitch.
  Bytes png = GrayPng(9);
  DibInfo* info = nullptr;
  void* pixels = nullptr;
  ASSERT_EQ(LoadImageFile(nullptr, png.data(), png.size(), 1, 1, 0, &image, &info, &pixels), 0);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->bitCount, 8);
  EXPECT_EQ(info->height, -1);
  EXPECT_EQ(info->colors[9][0], 9);
  EXPECT_EQ(static_cast<unsigned char*>(pixels)[2], 9);
  EXPECT_EQ(image.pixels, nullptr);
  FreeMemory(info);
  FreeMemory(pixels);

  // ARGB becomes a new 24-bit block.
  TgaLayout t;
  t.pixelBits = 32;
  t.pixels = {1, 2, 3, 4};
  Bytes tga = MakeTga(t);
  ASSERT_EQ(LoadImageFile(nullptr, tga.data(), tga.size(), 1, 1, 0, nullptr, &info, &pixels), 0);
  EXPECT_EQ(info->bitCount, 24);
  EXPECT_EQ(LoadPixelWord(static_cast<unsigned char*>(pixels), 3), 0x030201u);
  FreeMemory(info);
  FreeMemory(pixels);

  int blocks = qr::core::CurrentMemoryTotals().blockCount;
  Bytes junk(64, 1);
  EXPECT_EQ(LoadImageFile(nullptr, junk.data(), junk.size(), 1, 0, 0, &image, nullptr, nullptr), -1);
  EXPECT_EQ(LoadImageFile(nullptr, nullptr, 0, 1, 0, 0, &image, nullptr, nullptr), -1);
  EXPECT_EQ(qr::core::CurrentMemoryTotals().blockCount, blocks);
}

TEST(LoadImageWithAlpha, FromMemory) {
  Bytes main = SmallBmp(), alpha = GrayPng(200), junk(40, 3);
  BaseImage image{}, alphaImage{};
  ASSERT_EQ(LoadImageWithAlpha(nullptr, main.data(), main.size(), 1, alpha.data(), alpha.size(), 1,
                               &image, &alphaImage, 0),
            0);
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(alphaImage.format.pixelBytes, 1);
  EXPECT_EQ(alphaImage.pixels[0], 200);
  FreeImagePixels(&image);
  FreeImagePixels(&alphaImage);

  struct Case {
    const void* memory;
    size_t size;
    int flag;
  } noAlpha[] = {{junk.data(), junk.size(), 1}, {nullptr, 0, 1}, {alpha.data(), alpha.size(), 2}};
  for (const Case& c : noAlpha) {
    ASSERT_EQ(LoadImageWithAlpha(nullptr, main.data(), main.size(), 1, c.memory, c.size, c.flag,
                                 &image, &alphaImage, 0),
              1);
    EXPECT_EQ(alphaImage.pixels, nullptr);
    FreeImagePixels(&image);
  }
  EXPECT_EQ(LoadImageWithAlpha(nullptr, junk.data(), junk.size(), 1, alpha.data(), alpha.size(), 1,
                               &image, &alphaImage, 0),
            -1);
}

TEST(AlphaFileName, UnderscoreABeforeTheLastDot) {
  struct Case {
    const char* path;
    const char* alpha;
  } cases[] = {
      {"pote\\pote.png", "pote\\pote_a.png"},
      {"pote\\taitol.png", "pote\\taitol_a.png"},
      {"folder.v2\\picture", "folder_a.v2\\picture"},
      {"picture", "picture_a"},
      {"a.b.c", "a.b_a.c"},
  };
  char out[260];
  for (const Case& c : cases) {
    ASSERT_TRUE(MakeAlphaFileName(c.path, out, sizeof out));
    EXPECT_STREQ(out, c.alpha);
  }
  std::string longest(257, 'x');
  EXPECT_TRUE(MakeAlphaFileName(longest.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out).size(), 259u);
  longest += "x";
  EXPECT_FALSE(MakeAlphaFileName(longest.c_str(), out, sizeof out));
}

}  // namespace
}  // namespace qr::image
