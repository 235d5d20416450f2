#include <gtest/gtest.h>

#include "decoder_support.h"

namespace qr::image {
namespace {
using testing::Bytes;
using testing::DdsLayout;
using testing::Decoded;
using testing::ExpectDeclined;
using testing::MakeBgra;
using testing::MakeDds;
using testing::MakeTga;
using testing::TgaLayout;

TgaLayout TrueColor2x2(uint8_t descriptor) {
  TgaLayout s;
  s.width = 2;
  s.height = 2;
  s.descriptor = descriptor;
  s.id = {'h', 'e', 'l', 'l', 'o'};
  // A colour map in a true-colour file is skipped.
  s.mapType = 1;
  s.mapLength = 2;
  s.mapBits = 24;
  s.map = Bytes(6, 0xEE);
  s.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  return s;
}

TEST(TgaDecoder, TrueColourInEveryOrientation) {
  struct Case {
    uint8_t descriptor;
    uint32_t topLeft, bottomRight;
  } cases[] = {
      {0x00, 0x090807, 0x060504},  // bottom-up
      {0x20, 0x030201, 0x0C0B0A},  // top-down
      {0x30, 0x060504, 0x090807},  // top-down, right to left
      {0x10, 0x0C0B0A, 0x030201},  // bottom-up, right to left
  };
  for (const Case& c : cases) {
    Decoded d(DecodeTga, MakeTga(TrueColor2x2(c.descriptor)));
    ASSERT_EQ(d.result, 0) << int(c.descriptor);
    EXPECT_EQ(d.image.pitch, 6);
    EXPECT_EQ(d.image.format.colorBits, 24);
    EXPECT_EQ(d.Word(0, 0), c.topLeft) << int(c.descriptor);
    EXPECT_EQ(d.Word(1, 1), c.bottomRight) << int(c.descriptor);
  }
}

TEST(TgaDecoder, SixteenAndThirtyTwoBits) {
  TgaLayout s;
  s.pixelBits = 16;
  s.pixels = {0xFF, 0xFF};
  Decoded a(DecodeTga, MakeTga(s));
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.format.redMask, 0x7C00u);
  EXPECT_EQ(a.image.format.alphaWidth, 0);
  EXPECT_EQ(a.image.format.spareMask, 0x8000u);
  EXPECT_EQ(a.image.pitch, 2);
  EXPECT_EQ(a.Word(0, 0), 0xFFFFu);

  s.pixelBits = 32;
  s.width = 3;  // pitch 12, not rounded
  s.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  Decoded b(DecodeTga, MakeTga(s));
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(b.image.pitch, 12);
  EXPECT_EQ(b.Word(2, 0), 0x0C0B0A09u);
}

TEST(TgaDecoder, ColourMappedAndRunLength) {
  TgaLayout m;
  m.imageType = 1;
  m.width = 2;
  m.height = 2;
  m.pixelBits = 8;
  m.mapType = 1;
  m.mapFirst = 2;
  m.mapLength = 3;
  m.mapBits = 24;
  m.map = {1, 1, 1, 2, 2, 2, 3, 3, 3};
  m.pixels = {2, 3, 4, 4};
  Decoded a(DecodeTga, MakeTga(m));
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.format.colorBits, 24);
  EXPECT_EQ(a.Word(0, 0), 0x010101u);
  EXPECT_EQ(a.Word(1, 0), 0x020202u);
  EXPECT_EQ(a.Word(1, 1), 0x030303u);
  for (uint8_t bad : {1, 5}) {
    TgaLayout b = m;
    b.pixels[3] = bad;
    ExpectDeclined(DecodeTga, MakeTga(b), "index outside the map");
  }

  // Run-length true colour with a footer: a run, a raw packet, and a run cut at the end.
  TgaLayout r;
  r.imageType = 10;
  r.width = 3;
  r.height = 2;
  r.footer = true;
  r.pixels = {0x82, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9, 0x85, 9, 9, 9};
  Decoded b(DecodeTga, MakeTga(r));
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.Word(2, 0), 0x030201u);
  EXPECT_EQ(b.Word(0, 1), 0x060504u);
  EXPECT_EQ(b.Word(1, 1), 0x090807u);
  EXPECT_EQ(b.Word(2, 1), 0x090909u);
  r.pixels.resize(9);  // ends inside the raw packet
  ExpectDeclined(DecodeTga, MakeTga(r), "run-length data cut short");

  // Run-length colour-mapped, 16-bit map entries, bottom-up.
  TgaLayout rm;
  rm.imageType = 9;
  rm.width = 2;
  rm.height = 2;
  rm.descriptor = 0;
  rm.pixelBits = 8;
  rm.mapType = 1;
  rm.mapLength = 2;
  rm.mapBits = 16;
  rm.map = {0x1F, 0x00, 0x00, 0x7C};
  rm.pixels = {0x81, 1, 0x81, 0};
  Decoded c(DecodeTga, MakeTga(rm));
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.image.format.pixelBytes, 2);
  EXPECT_EQ(c.Word(0, 0), 0x001Fu);
  EXPECT_EQ(c.Word(1, 1), 0x7C00u);
}

TEST(TgaDecoder, UnsupportedAndMalformedHeadersAreDeclined) {
  const TgaLayout good = TrueColor2x2(0x20);
  auto declined = [&](const char* what, auto change) {
    TgaLayout s = good;
    change(s);
    ExpectDeclined(DecodeTga, MakeTga(s), what);
  };
  declined("width 8193", [](TgaLayout& s) { s.width = 8193; });
  declined("origin not 0", [](TgaLayout& s) { s.xOrigin = 5; });
  declined("grayscale", [](TgaLayout& s) { s.imageType = 3; });
  declined("compressed grayscale", [](TgaLayout& s) { s.imageType = 11; });
  declined("type 4", [](TgaLayout& s) { s.imageType = 4; });
  declined("type 12", [](TgaLayout& s) { s.imageType = 12; });
  declined("8-bit true colour", [](TgaLayout& s) { s.pixelBits = 8; });
  declined("pixels cut short", [](TgaLayout& s) { s.pixels.resize(11); });
  declined("mapped without a map", [](TgaLayout& s) {
    s.imageType = 1;
    s.pixelBits = 8;
    s.mapType = 0;
    s.map.clear();
  });
  declined("map past 256 entries", [](TgaLayout& s) {
    s.imageType = 1;
    s.pixelBits = 8;
    s.mapFirst = 200;
    s.mapLength = 100;
    s.map = Bytes(300, 0);
  });
  declined("map cut short", [](TgaLayout& s) {
    s.imageType = 1;
    s.pixelBits = 8;
    s.mapLength = 200;
    s.pixels.clear();
  });
}

Bytes Blocks(size_t bytes) {
  Bytes b(bytes);
  for (size_t i = 0; i < bytes; ++i) b[i] = uint8_t(i * 7);
  return b;
}

TEST(DdsDecoder, CompressedLevelsAreReadInOnePiece) {
  DdsLayout s;
  s.width = s.height = 64;
  s.flags |= 0x20000;
  s.caps = 0x401008;
  s.mipCount = 7;
  s.data = Blocks(2048 + 512 + 128 + 32 + 8 + 8 + 8);
  Decoded a(DecodeDds, MakeDds(s));
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.mipCount, 7);
  EXPECT_EQ(a.image.pitch, 0);
  EXPECT_EQ(a.image.format.compression, 1u);
  EXPECT_EQ(a.image.format.colorBits, 4);
  EXPECT_EQ(a.image.pixels[2743], uint8_t(2743 * 7));
  s.data.pop_back();
  ExpectDeclined(DecodeDds, MakeDds(s), "one byte short");

  // The mip count counts only with both capability bits.
  s.data = Blocks(2048);
  s.caps = 0x1008;
  Decoded b(DecodeDds, MakeDds(s));
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.image.mipCount, 0);

  // Sixteen-byte blocks: the smallest levels are one block each.
  s.fourCc = "DXT5";
  s.caps = 0x401008;
  s.data = Blocks(4096 + 1024 + 256 + 64 + 16 + 16 + 16);
  Decoded c(DecodeDds, MakeDds(s));
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.image.format.compression, 5u);
  EXPECT_EQ(c.image.format.colorBits, 8);

  s.mipCount = 40;
  ExpectDeclined(DecodeDds, MakeDds(s), "more levels than any size has");
}

TEST(DdsDecoder, Dxt3DecodesWhenAPixelIsNeeded) {
  DdsLayout s;
  s.fourCc = "DXT3";
  s.data = {0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  Decoded d(DecodeDds, MakeDds(s));
  ASSERT_EQ(d.result, 0);
  int r, g, b, a;
  ASSERT_EQ(ReadImagePixel(&d.image, 0, 0, &r, &g, &b, &a), 0);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(a, 0);
  ASSERT_EQ(ReadImagePixel(&d.image, 1, 0, &r, &g, &b, &a), 0);
  EXPECT_EQ(a, 255);
  EXPECT_EQ(d.image.format.compression, 0u);
}

TEST(DdsDecoder, UncompressedFormatsFromMasksAndTable) {
  DdsLayout s;
  s.width = 2;
  s.height = 2;
  s.flags |= 0x8;
  s.pitch = 12;  // a padded row
  s.pixelFlags = 0x41;
  s.bitCount = 32;
  s.masks[0] = 0x00FF0000;
  s.masks[1] = 0x0000FF00;
  s.masks[2] = 0x000000FF;
  s.masks[3] = 0xFF000000;
  s.data = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0};
  Decoded a(DecodeDds, MakeDds(s));
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.pitch, 12);
  EXPECT_EQ(a.image.format.alphaShift, 24);
  EXPECT_EQ(a.Word(1, 1), 0x100F0E0Du);

  s.pixelFlags = 0x40;  // colour without the alpha-pixels flag
  ExpectDeclined(DecodeDds, MakeDds(s), "RGB only");

  // Levels of an uncompressed picture: 4 x 4, 2 x 2, 1 x 1.
  DdsLayout m = s;
  m.pixelFlags = 0x41;
  m.flags = 0x1007 | 0x20000;
  m.caps = 0x401008;
  m.width = m.height = 4;
  m.mipCount = 3;
  m.data = Blocks(64 + 16 + 4);
  Decoded b(DecodeDds, MakeDds(m));
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.image.pitch, 16);
  EXPECT_EQ(b.image.mipCount, 3);
  m.data.pop_back();
  ExpectDeclined(DecodeDds, MakeDds(m), "last level short");

  // A Direct3D format number in the FourCC field (23: 5-6-5).
  DdsLayout t;
  t.width = 2;
  t.height = 1;
  t.fourCcNumber = 23;
  t.bitCount = 16;
  t.data = {0x00, 0xF8, 0x1F, 0x00};
  Decoded c(DecodeDds, MakeDds(t));
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.image.format.redMask, 0xF800u);
  EXPECT_EQ(c.image.pitch, 4);
  EXPECT_EQ(c.Word(0, 0), 0xF800u);
  t.pixelFlags = 0x44;  // not FourCC alone
  ExpectDeclined(DecodeDds, MakeDds(t), "format number with other flags");
  t.pixelFlags = 0x4;
  t.fourCcNumber = 0;
  t.fourCc = "ATI2";
  ExpectDeclined(DecodeDds, MakeDds(t), "unknown FourCC");

  // Eight-bit luminance described by masks: the palette spells out the values.
  DdsLayout l;
  l.width = 2;
  l.height = 1;
  l.pixelFlags = 0x20000;
  l.bitCount = 8;
  l.masks[0] = 0xFF;
  l.data = {0x00, 0xC8};
  Decoded d(DecodeDds, MakeDds(l));
  ASSERT_EQ(d.result, 0);
  int r, g, bl, al;
  ASSERT_EQ(ReadImagePixel(&d.image, 1, 0, &r, &g, &bl, &al), 0);
  EXPECT_EQ(r, 0xC8);
  EXPECT_EQ(g, 0);

  DdsLayout z = t;
  z.fourCc = "DXT1";
  z.width = 0;
  ExpectDeclined(DecodeDds, MakeDds(z), "no width");
  Bytes notDds = MakeDds(t);
  notDds[2] = 'X';
  ExpectDeclined(DecodeDds, notDds, "magic");
}

TEST(BgraDecoder, BothDepths) {
  Decoded a(DecodeBgra, MakeBgra(0x08080808, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(a.image.pitch, 8);
  EXPECT_EQ(a.Word(1, 0), 0x08070605u);

  Decoded b(DecodeBgra, MakeBgra(0x10101010, 1, 2,
                                 {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                  0, 1, 0, 2, 0, 3, 0, 4}));
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.Word(0, 0), 0x88664422u);
  EXPECT_EQ(b.Word(0, 1), 0x04030201u);

  ExpectDeclined(DecodeBgra, MakeBgra(0x01010101, 1, 1, {1, 2, 3, 4}), "depth code");
  ExpectDeclined(DecodeBgra, MakeBgra(0x08080808, 2, 1, {1, 2, 3, 4}), "rows cut short");
  ExpectDeclined(DecodeBgra, MakeBgra(0x10101010, 1, 1, {1, 2, 3, 4}), "16-bit rows cut short");
  ExpectDeclined(DecodeBgra, MakeBgra(0x08080808, 0, 1, {}), "no width");
  ExpectDeclined(DecodeBgra, MakeBgra(0x08080808, 0x7FFFFFFF, 0x7FFFFFFF, {1, 2, 3, 4}), "huge");
}

}  // namespace
}  // namespace qr::image
