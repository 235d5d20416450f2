#include <gtest/gtest.h>

#include "decoder_support.h"

namespace qr::image {
namespace {
using testing::BmpLayout;
using testing::Bytes;
using testing::Decoded;
using testing::ExpectDeclined;
using testing::MakeBmp;

// Palette entries (blue, green, red, reserved) of the given count; entry i is (i, 2i, 3i, 0x55).
Bytes Palette(int count) {
  Bytes p(size_t(count) * 4);
  for (int i = 0; i < count; ++i) {
    p[size_t(i) * 4 + 0] = uint8_t(i);
    p[size_t(i) * 4 + 1] = uint8_t(2 * i);
    p[size_t(i) * 4 + 2] = uint8_t(3 * i);
    p[size_t(i) * 4 + 3] = 0x55;
  }
  return p;
}

TEST(BmpDecoder, TwentyFourBitsBottomUpAndTopDown) {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  s.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
  Decoded up(DecodeBmp, MakeBmp(s));
  ASSERT_EQ(up.result, 0);
  EXPECT_EQ(up.image.width, 3);
  EXPECT_EQ(up.image.height, 2);
  EXPECT_EQ(up.image.pitch, 12);
  EXPECT_EQ(up.image.format.colorBits, 24);
  EXPECT_EQ(up.image.format.redMask, 0xFF0000u);
  EXPECT_EQ(up.Word(0, 0), 0x0C0B0Au);  // the last row of the file is the top
  EXPECT_EQ(up.Word(2, 1), 0x090807u);

  s.height = -2;
  Decoded down(DecodeBmp, MakeBmp(s));
  ASSERT_EQ(down.result, 0);
  EXPECT_EQ(down.Word(0, 0), 0x030201u);
  EXPECT_EQ(down.image.height, 2);
}

TEST(BmpDecoder, EightAndFourBitsKeepTheirPalette) {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  s.bitCount = 8;
  s.colorsUsed = 3;
  s.palette = Palette(3);
  s.pixels = {0, 1, 2, 0, 2, 2, 0, 0};
  Decoded eight(DecodeBmp, MakeBmp(s));
  ASSERT_EQ(eight.result, 0);
  EXPECT_EQ(eight.image.format.pixelBytes, 1);
  EXPECT_EQ(eight.image.pitch, 4);
  EXPECT_EQ(eight.Word(0, 0), 2u);
  EXPECT_EQ(eight.Word(2, 0), 0u);
  EXPECT_EQ(eight.Word(1, 1), 1u);
  EXPECT_EQ(eight.image.format.palette[2][2], 6);
  EXPECT_EQ(eight.image.format.palette[2][3], 0);  // the reserved byte is cleared
  EXPECT_EQ(eight.image.format.palette[3][2], 0);  // beyond the file's entries

  // An index past the file's three entries.
  s.pixels[1] = 3;
  ExpectDeclined(DecodeBmp, MakeBmp(s), "index past the colour table");

  BmpLayout f;
  f.width = 5;
  f.height = 2;
  f.bitCount = 4;
  f.palette = Palette(16);
  f.pixels = {0x12, 0x34, 0x50, 0x00, 0xAB, 0xCD, 0xE0, 0x00};
  Decoded four(DecodeBmp, MakeBmp(f));
  ASSERT_EQ(four.result, 0);
  EXPECT_EQ(four.image.pitch, 8);
  const uint8_t top[] = {10, 11, 12, 13, 14}, bottom[] = {1, 2, 3, 4, 5};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(four.Word(x, 0), top[x]);
    EXPECT_EQ(four.Word(x, 1), bottom[x]);
  }
  EXPECT_EQ(four.image.format.palette[15][0], 15);
}

TEST(BmpDecoder, OneSixteenAndThirtyTwoBitsBecomeTwentyFourBitRows) {
  BmpLayout one;
  one.width = 10;
  one.bitCount = 1;
  one.palette = {1, 2, 3, 0, 0xFF, 0x80, 0x40, 0};
  one.pixels = {0xA0, 0xC0, 0, 0};
  Decoded a(DecodeBmp, MakeBmp(one));
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.format.colorBits, 24);
  EXPECT_EQ(a.image.pitch, 32);
  EXPECT_EQ(a.Word(0, 0), 0x4080FFu);
  EXPECT_EQ(a.Word(1, 0), 0x030201u);
  EXPECT_EQ(a.Word(8, 0), 0x4080FFu);
  EXPECT_EQ(a.Word(9, 0), 0x4080FFu);
  EXPECT_EQ(a.Word(7, 0), 0x030201u);

  // 16 bits without bit fields are 5-5-5; five bits widen by repeating their top bits.
  BmpLayout x555;
  x555.width = 2;
  x555.height = -1;
  x555.bitCount = 16;
  x555.pixels = {0xFF, 0x7F, 0x20, 0x40};  // 0x7FFF; red 16, green 1
  Decoded b(DecodeBmp, MakeBmp(x555));
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.Word(0, 0), 0xFFFFFFu);
  EXPECT_EQ(b.Word(1, 0), 0x840800u);

  BmpLayout r565 = x555;
  r565.compression = 3;
  r565.masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  r565.pixels = {0xE0, 0x07, 0x00, 0x04};  // green 63; green 32
  Decoded c(DecodeBmp, MakeBmp(r565));
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.Word(0, 0), 0x00FF00u);
  EXPECT_EQ(c.Word(1, 0), 0x008200u);

  BmpLayout x32;
  x32.width = 1;
  x32.height = 2;
  x32.bitCount = 32;
  x32.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  Decoded d(DecodeBmp, MakeBmp(x32));
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.Word(0, 0), 0x070605u);
  EXPECT_EQ(d.Word(0, 1), 0x030201u);
  EXPECT_EQ(d.image.pitch, 4);

  x32.compression = 3;  // red in the low byte, blue in the third
  x32.masks = {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0};
  Decoded e(DecodeBmp, MakeBmp(x32));
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.Word(0, 0), 0x050607u);
}

TEST(BmpDecoder, Rle8RunsAbsoluteRunsDeltasAndLineEnds) {
  BmpLayout s;
  s.width = 6;
  s.height = 3;
  s.bitCount = 8;
  s.compression = 1;
  s.colorsUsed = 8;
  s.palette = Palette(8);
  s.pixels = {3, 5, 0, 3, 1, 2, 3, 0, 0, 0,  // row 0: a run, an absolute run (padded), line end
              0, 2, 2, 1,                    // delta: two right, one row on
              2, 7, 0, 1};                   // row 2: a run, end of bitmap
  const uint8_t rows[3][6] = {{5, 5, 5, 1, 2, 3}, {0, 0, 0, 0, 0, 0}, {0, 0, 7, 7, 0, 0}};
  Decoded up(DecodeBmp, MakeBmp(s));
  ASSERT_EQ(up.result, 0);
  EXPECT_EQ(up.image.pitch, 8);
  EXPECT_EQ(up.image.format.pixelBytes, 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(up.Word(x, 2 - y), rows[y][x]) << x << "," << y;
  s.height = -3;
  Decoded down(DecodeBmp, MakeBmp(s));
  ASSERT_EQ(down.result, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(down.Word(x, y), rows[y][x]);
}

TEST(BmpDecoder, Rle4FillsNibblesInTurn) {
  BmpLayout s;
  s.width = 5;
  s.height = 2;
  s.bitCount = 4;
  s.compression = 2;
  s.palette = Palette(16);
  s.pixels = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1};
  Decoded d(DecodeBmp, MakeBmp(s));
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.pitch, 8);
  const uint8_t top[] = {3, 4, 5, 0, 0}, bottom[] = {1, 2, 1, 2, 1};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(d.Word(x, 0), top[x]);
    EXPECT_EQ(d.Word(x, 1), bottom[x]);
  }
}

// Encoders that code every row to its padded size write runs that reach past the width; the
// pixels past the row's end are dropped and the rest of the run still takes its bytes.
TEST(BmpDecoder, RunsPastTheRowEndAreCutAtTheRowEnd) {
  struct Case {
    const char* what;
    int compression, width;
    Bytes codes;
    std::vector<uint8_t> rowZero, rowOne;  // the first two rows of the file
  } cases[] = {
      {"RLE8 run", 1, 6, {7, 1, 0, 0, 2, 3, 0, 1}, {1, 1, 1, 1, 1, 1}, {3, 3, 0, 0, 0, 0}},
      {"RLE8 run from the middle of the row", 1, 6, {2, 4, 9, 5, 0, 0, 1, 6, 0, 1},
       {4, 4, 5, 5, 5, 5}, {6, 0, 0, 0, 0, 0}},
      // The absolute run of 7 takes 8 bytes with its padding; the run after it is read as one.
      {"RLE8 absolute run", 1, 6, {0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 1, 2, 0, 1},
       {1, 2, 3, 4, 5, 6}, {2, 0, 0, 0, 0, 0}},
      // Past the width nothing is drawn, so an index out of the table there does no harm.
      {"RLE8 absolute run, out-of-table index past the row", 1, 3,
       {0, 4, 1, 2, 3, 200, 0, 0, 1, 5, 0, 1}, {1, 2, 3}, {5, 0, 0}},
      {"RLE4 run", 2, 5, {8, 0x12, 0, 0, 3, 0x45, 0, 1}, {1, 2, 1, 2, 1}, {4, 5, 4, 0, 0}},
      {"RLE4 absolute run", 2, 5, {0, 7, 0x12, 0x34, 0x56, 0x70, 0, 0, 1, 0x90, 0, 1},
       {1, 2, 3, 4, 5}, {9, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    BmpLayout s;
    s.width = c.width;
    s.height = 2;
    s.bitCount = c.compression == 1 ? 8 : 4;
    s.compression = c.compression;
    s.palette = Palette(16);
    s.colorsUsed = 16;
    s.pixels = c.codes;
    Decoded d(DecodeBmp, MakeBmp(s));
    ASSERT_EQ(d.result, 0) << c.what;
    for (int x = 0; x < c.width; ++x) {
      EXPECT_EQ(d.Word(x, 1), c.rowZero[size_t(x)]) << c.what << " x " << x;  // bottom-up
      EXPECT_EQ(d.Word(x, 0), c.rowOne[size_t(x)]) << c.what << " x " << x;
    }
  }
}

TEST(BmpDecoder, MalformedFilesAreDeclined) {
  BmpLayout rle;
  rle.width = 6;
  rle.height = 3;
  rle.bitCount = 8;
  rle.compression = 1;
  rle.colorsUsed = 8;
  rle.palette = Palette(8);
  struct Case {
    const char* what;
    Bytes codes;
  } rleCases[] = {
      {"delta past the right edge", {0, 2, 7, 0, 0, 1}},
      {"delta past the last row", {0, 2, 0, 4, 0, 1}},
      {"write after the last row", {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}},
      {"data ends before the picture", {3, 5, 0, 0}},
      {"absolute run cut short", {0, 5, 1, 2}},
      {"delta cut short", {0, 2, 1}},
      {"index past the colour table", {2, 9, 0, 1}},
  };
  for (const Case& c : rleCases) {
    rle.pixels = c.codes;
    ExpectDeclined(DecodeBmp, MakeBmp(rle), c.what);
  }
  // Rows completed by line ends need no end-of-bitmap code.
  rle.pixels = {6, 1, 0, 0, 6, 2, 0, 0, 6, 3, 0, 0};
  Decoded complete(DecodeBmp, MakeBmp(rle));
  EXPECT_EQ(complete.result, 0);

  BmpLayout plain;
  plain.width = 3;
  plain.height = 2;
  plain.pixels = Bytes(24, 1);
  BmpLayout s = plain;
  s.pixelOffsetDelta = 100;
  ExpectDeclined(DecodeBmp, MakeBmp(s), "pixel offset past the end");
  s = plain;
  s.pixels.resize(20);
  ExpectDeclined(DecodeBmp, MakeBmp(s), "rows cut short");
  s = plain;
  s.width = 0;
  ExpectDeclined(DecodeBmp, MakeBmp(s), "no width");
  s = plain;
  s.height = 0;
  ExpectDeclined(DecodeBmp, MakeBmp(s), "no height");
  s = plain;
  s.compression = 1;
  ExpectDeclined(DecodeBmp, MakeBmp(s), "RLE8 with 24 bits");
  s = plain;
  s.bitCount = 8;
  s.colorsUsed = 300;
  s.palette = Palette(256);
  ExpectDeclined(DecodeBmp, MakeBmp(s), "more than 256 colours");
  s = plain;
  s.bitCount = 16;
  s.compression = 3;
  s.masks = {0x0F, 0xF0, 0, 0, 0, 0x0F, 0, 0, 0xF0, 0, 0, 0};
  ExpectDeclined(DecodeBmp, MakeBmp(s), "bit field with a gap");
  s = plain;
  s.bitCount = 2;
  ExpectDeclined(DecodeBmp, MakeBmp(s), "two bits a pixel");
  Bytes core = MakeBmp(plain);
  core[14] = 12;
  ExpectDeclined(DecodeBmp, core, "the 12-byte header of old files");
  Bytes cut = MakeBmp(plain);
  cut.resize(30);
  ExpectDeclined(DecodeBmp, cut, "header cut short");
  Bytes other = MakeBmp(plain);
  other[1] = 'A';
  ExpectDeclined(DecodeBmp, other, "not BM");

  // A few bytes of RLE never ask for a picture of gigabytes.
  BmpLayout huge = rle;
  huge.width = 60000;
  huge.height = 60000;
  huge.pixels = {0, 1};
  ExpectDeclined(DecodeBmp, MakeBmp(huge), "tiny RLE data for a huge picture");
}

}  // namespace
}  // namespace qr::image
