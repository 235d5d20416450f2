// Loading pictures from files through the stream functions.
#include <gtest/gtest.h>

#include <png.h>

#include "decoder_support.h"
#include "file/file_fixture.h"
#include "qr.h"

namespace qr::image {
namespace {
using testing::BmpLayout;
using testing::Bytes;
using testing::MakeBmp;
using testing::MakePng;
using testing::PngLayout;

class ImageFiles : public qr::testing::FileTest {
 protected:
  void Write(const std::string& relative, const Bytes& bytes) {
    MakeFile(relative, std::string(bytes.begin(), bytes.end()));
  }
  static Bytes Png(uint8_t value) {
    PngLayout s;
    s.width = 2;
    s.colorType = PNG_COLOR_TYPE_RGB;
    s.rows = {{value, 0, 0, 0, value, 0}};
    return MakePng(s);
  }
};

TEST_F(ImageFiles, ContentNotNameDecidesTheDecoder) {
  Write("pictures/picture.bmp", Png(77));
  BaseImage image{};
  ASSERT_EQ(LoadImageFile("pictures\\picture.bmp", nullptr, 0, 0, 0, 0, &image, nullptr, nullptr), 0);
  EXPECT_EQ(image.format.colorBits, 24);
  EXPECT_EQ(LoadPixelWord(image.pixels, 3), 77u << 16);
  FreeImagePixels(&image);

  ASSERT_EQ(LoadImageFile("pictures\\picture.bmp", nullptr, 0, 0, 0, 1, &image, nullptr, nullptr), 0);
  EXPECT_EQ(LoadPixelWord(image.pixels, 3), 77u << 8);  // mirrored
  FreeImagePixels(&image);

  EXPECT_EQ(LoadImageFile("pictures\\missing.png", nullptr, 0, 0, 0, 0, &image, nullptr, nullptr), -1);
  EXPECT_EQ(LoadImageFile(nullptr, nullptr, 0, 0, 0, 0, &image, nullptr, nullptr), -1);
  Write("pictures/junk.png", Bytes(50, 9));
  EXPECT_EQ(LoadImageFile("pictures\\junk.png", nullptr, 0, 0, 0, 0, &image, nullptr, nullptr), -1);
}

TEST_F(ImageFiles, EveryLoadClosesItsStream) {
  // More loads than the open-file table has slots: a stream left open would run it out.
  Write("a.png", Png(1));
  Write("junk.bin", Bytes(30, 1));
  for (int i = 0; i < 600; ++i) {
    BaseImage image{};
    ASSERT_EQ(LoadImageFile("a.png", nullptr, 0, 0, 0, 0, &image, nullptr, nullptr), 0) << i;
    FreeImagePixels(&image);
    ASSERT_EQ(LoadImageFile("junk.bin", nullptr, 0, 0, 0, 0, &image, nullptr, nullptr), -1);
  }
}

TEST_F(ImageFiles, AlphaPictureFollowsTheUnderscoreARule) {
  Write("pote/taitol.png", Png(10));
  Write("pote/taitol_a.png", Png(200));
  Write("folder_a.v2/picture", Png(99));
  Write("folder.v2/picture", Png(5));
  BaseImage image{}, alpha{};
  ASSERT_EQ(LoadImageWithAlpha("pote\\taitol.png", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), 0);
  EXPECT_EQ(LoadPixelWord(image.pixels, 3), 10u << 16);
  EXPECT_EQ(LoadPixelWord(alpha.pixels, 3), 200u << 16);
  FreeImagePixels(&image);
  FreeImagePixels(&alpha);

  ASSERT_EQ(LoadImageWithAlpha("folder.v2\\picture", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 1), 0);
  EXPECT_EQ(LoadPixelWord(alpha.pixels + 3, 3), 99u << 16);  // mirrored like the picture
  FreeImagePixels(&image);
  FreeImagePixels(&alpha);

  // No alpha file is no error.
  Write("pote/pote.png", Png(3));
  ASSERT_EQ(LoadImageWithAlpha("pote\\pote.png", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), 1);
  EXPECT_EQ(alpha.pixels, nullptr);
  FreeImagePixels(&image);
  EXPECT_EQ(LoadImageWithAlpha("pote\\none.png", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), -1);
}

}  // namespace
}  // namespace qr::image
