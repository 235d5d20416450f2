// Bitmaps as other tools write them (tests/data/image/), each beside that tool's own decode of
// it as a PPM: the RLE8 files of odd width were written by ImageMagick 6
// (convert ... -type Palette -compress RLE BMP3:file.bmp, then convert file.bmp -depth 8
// ppm:file.ppm); it codes every row to its padded size, so the runs reach past the width.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "decoder_support.h"

namespace qr::image {
namespace {
using testing::Bytes;
using testing::Decoded;

Bytes ReadFile(const std::string& name) {
  std::ifstream file(std::string(QR_TEST_DATA) + "/image/" + name, std::ios::binary);
  EXPECT_TRUE(file.good()) << name;
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A binary PPM (P6, maxval 255): its size and red-green-blue bytes.
struct Ppm {
  int width = 0, height = 0;
  Bytes rgb;
};

Ppm ReadPpm(const std::string& name) {
  Bytes bytes = ReadFile(name);
  std::string text(bytes.begin(), bytes.end());
  std::istringstream in(text);
  std::string magic;
  int maxValue = 0;
  Ppm ppm;
  in >> magic >> ppm.width >> ppm.height >> maxValue;
  EXPECT_EQ(magic, "P6") << name;
  EXPECT_EQ(maxValue, 255) << name;
  size_t start = size_t(in.tellg()) + 1;  // one white-space byte ends the header
  ppm.rgb.assign(bytes.begin() + std::ptrdiff_t(start), bytes.end());
  EXPECT_EQ(ppm.rgb.size(), size_t(ppm.width) * size_t(ppm.height) * 3) << name;
  return ppm;
}

TEST(BmpToolFiles, ImageMagickRle8OfOddWidthDecodesAsImageMagickDoes) {
  for (const char* name : {"rle8_odd_width_13x5", "rle8_odd_width_7x3"}) {
    Ppm expected = ReadPpm(std::string(name) + ".ppm");
    Decoded d(DecodeBmp, ReadFile(std::string(name) + ".bmp"));
    ASSERT_EQ(d.result, 0) << name;
    ASSERT_EQ(d.image.width, expected.width) << name;
    ASSERT_EQ(d.image.height, expected.height) << name;
    ASSERT_EQ(d.image.format.pixelBytes, 1) << name;
    for (int y = 0; y < expected.height; ++y)
      for (int x = 0; x < expected.width; ++x) {
        const uint8_t* entry = d.image.format.palette[d.Word(x, y)];  // blue, green, red
        const uint8_t* want = &expected.rgb[(size_t(y) * size_t(expected.width) + size_t(x)) * 3];
        EXPECT_EQ(entry[2], want[0]) << name << " at " << x << "," << y;
        EXPECT_EQ(entry[1], want[1]) << name << " at " << x << "," << y;
        EXPECT_EQ(entry[0], want[2]) << name << " at " << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace qr::image
