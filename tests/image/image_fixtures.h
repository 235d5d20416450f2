// Small image files made by the tests themselves: byte builders for BMP, TGA, DDS and BGRA, and
// PNG and JPEG files written with libpng and libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/base_image.h"

namespace qr::image::testing {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v);
void Put32(Bytes& b, uint32_t v);
void Append(Bytes& b, const Bytes& more);

struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;  // negative: top-down
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  Bytes palette;        // 4 bytes an entry, as stored
  Bytes masks;          // 12 bytes of bit fields, written after the header
  Bytes pixels;         // as stored (rows in file order, padded, or RLE codes)
  int32_t pixelOffsetDelta = 0;  // added to the true offset
};
Bytes MakeBmp(const BmpLayout& layout);

struct TgaLayout {
  uint8_t imageType = 2;
  uint8_t descriptor = 0x20;  // top-down
  uint16_t width = 1, height = 1;
  uint8_t pixelBits = 24;
  uint8_t mapType = 0;
  uint16_t mapFirst = 0, mapLength = 0;
  uint8_t mapBits = 0;
  Bytes id;
  Bytes map;
  Bytes pixels;
  bool footer = false;
  uint16_t xOrigin = 0;
};
Bytes MakeTga(const TgaLayout& layout);

struct DdsLayout {
  uint32_t flags = 0x1007;
  uint32_t width = 4, height = 4;
  uint32_t pitch = 0;
  uint32_t mipCount = 0;
  uint32_t pixelFlags = 0x4;
  std::string fourCc = "DXT1";
  uint32_t fourCcNumber = 0;  // used instead of the text when non-zero
  uint32_t bitCount = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  uint32_t caps = 0x1000;
  Bytes data;
};
Bytes MakeDds(const DdsLayout& layout);

Bytes MakeBgra(uint32_t depth, uint32_t width, uint32_t height, const Bytes& data);

// A PNG of the given libpng colour type and depth; rows are as libpng takes them.
struct PngLayout {
  int width = 1, height = 1;
  int colorType = 2;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<uint8_t> palette;  // r, g, b triples
  std::vector<uint8_t> trns;     // palette alphas, or one gray / rgb 16-bit value as bytes
  std::vector<Bytes> rows;
};
Bytes MakePng(const PngLayout& layout);

// A JPEG of 1 (gray), 3 (RGB) or 4 (CMYK) components; pixels row by row.
Bytes MakeJpeg(int width, int height, int components, const Bytes& pixels, int quality = 95,
               bool adobeCmyk = true);

}  // namespace qr::image::testing
