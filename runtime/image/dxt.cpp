// Decompression of DXT1 ... DXT5 block-compressed images into ARGB8.
#include <algorithm>
#include <cstring>

#include "image/base_image.h"
#include "qr.h"

namespace qr::image {
namespace {

struct Color {
  uint32_t r, g, b, a;
};

Color Expand565(uint16_t c) {
  return Color{(uint32_t(c >> 11) & 31) * 255 / 31, (uint32_t(c >> 5) & 63) * 255 / 63,
               (uint32_t(c) & 31) * 255 / 31, 255};
}

uint16_t Read16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// The four colours of a colour block; DXT1 has the three-colour mode with a transparent fourth.
void ColorTable(const unsigned char* block, bool allowThreeColor, Color table[4]) {
  uint16_t c0 = Read16(block), c1 = Read16(block + 2);
  Color a = Expand565(c0), b = Expand565(c1);
  table[0] = a;
  table[1] = b;
  if (c0 > c1 || !allowThreeColor) {
    table[2] = Color{(2 * a.r + b.r) / 3, (2 * a.g + b.g) / 3, (2 * a.b + b.b) / 3, 255};
    table[3] = Color{(a.r + 2 * b.r) / 3, (a.g + 2 * b.g) / 3, (a.b + 2 * b.b) / 3, 255};
  } else {
    table[2] = Color{(a.r + b.r) >> 1, (a.g + b.g) >> 1, (a.b + b.b) >> 1, 255};
    table[3] = table[2];
    table[3].a = 0;
  }
}

// The 16 alpha values of an interpolated (DXT4/5) alpha block.
void InterpolatedAlpha(const unsigned char* block, uint32_t alpha[16]) {
  uint32_t a0 = block[0], a1 = block[1];
  uint32_t table[8] = {a0, a1};
  if (a0 > a1) {
    for (uint32_t i = 1; i <= 6; ++i) table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (uint32_t i = 1; i <= 4; ++i) table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    table[6] = 0;
    table[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) alpha[i] = table[(bits >> (3 * i)) & 7];
}

void DecodeBlock(uint32_t compression, const unsigned char* block, uint32_t out[16]) {
  Color colors[4];
  uint32_t alpha[16];
  const unsigned char* colorBlock = block;
  if (compression == 1) {
    ColorTable(block, true, colors);
  } else {
    colorBlock = block + 8;
    ColorTable(colorBlock, false, colors);
    if (compression <= 3) {
      for (int i = 0; i < 16; ++i) alpha[i] = uint32_t(block[i / 2] >> (4 * (i & 1)) & 15) * 17;
    } else {
      InterpolatedAlpha(block, alpha);
    }
  }
  uint32_t indices = uint32_t(colorBlock[4]) | uint32_t(colorBlock[5]) << 8 |
                     uint32_t(colorBlock[6]) << 16 | uint32_t(colorBlock[7]) << 24;
  bool premultiplied = compression == 2 || compression == 4;
  for (int i = 0; i < 16; ++i) {
    Color c = colors[(indices >> (2 * i)) & 3];
    if (compression != 1) c.a = alpha[i];
    if (premultiplied) {
      if (c.a == 0) {
        c.r = c.g = c.b = 0;
      } else {
        c.r = std::min<uint32_t>(c.r * 255 / c.a, 255);
        c.g = std::min<uint32_t>(c.g * 255 / c.a, 255);
        c.b = std::min<uint32_t>(c.b * 255 / c.a, 255);
      }
    }
    out[i] = c.a << 24 | c.r << 16 | c.g << 8 | c.b;
  }
}

}  // namespace

size_t DxtLevelBytes(uint32_t compression, int width, int height) {
  if (compression < 1 || compression > 5 || width <= 0 || height <= 0) return 0;
  size_t blocks = size_t((width + 3) / 4) * size_t((height + 3) / 4);
  return blocks * (compression == 1 ? 8 : 16);
}

int DecodeDxtImage(BaseImage* image) {
  uint32_t compression = image->format.compression;
  if (compression == 0) return 0;
  if (compression > 5 || image->width <= 0 || image->height <= 0 || !image->pixels) return -1;
  int width = image->width, height = image->height;
  int64_t bytes = int64_t(width) * height * 4;
  if (bytes > 0x7FFFFFFF) return -1;
  auto* out = static_cast<unsigned char*>(AllocMemory(size_t(bytes), __FILE__, __LINE__));
  if (!out) return -1;
  const size_t blockBytes = compression == 1 ? 8 : 16;
  const int blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
  const unsigned char* block = image->pixels;
  for (int by = 0; by < blocksHigh; ++by) {
    for (int bx = 0; bx < blocksWide; ++bx, block += blockBytes) {
      uint32_t texels[16];
      DecodeBlock(compression, block, texels);
      for (int y = 0; y < 4 && by * 4 + y < height; ++y)
        for (int x = 0; x < 4 && bx * 4 + x < width; ++x)
          std::memcpy(out + (size_t(by * 4 + y) * size_t(width) + size_t(bx * 4 + x)) * 4,
                      &texels[y * 4 + x], 4);
    }
  }
  FreeMemory(image->pixels);
  image->pixels = out;
  image->pitch = width * 4;
  MakeArgb8Format(&image->format);
  image->mipCount = 0;
  return 0;
}

}  // namespace qr::image
