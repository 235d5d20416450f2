// DirectDraw surface files: DXT1 ... DXT5 blocks (kept compressed until a pixel is needed),
// pixels described by masks, and the Direct3D format numbers of the table below; with their
// mipmap levels stored one after another.
#include <algorithm>
#include <cstring>

#include "image/decoder_input.h"
#include "image/image_decoders.h"

namespace qr::image {
namespace {

using input::Block;
using input::U32;

constexpr int kHeaderBytes = 124;
constexpr int64_t kMaxSide = 1 << 16;

// Header flags, pixel-format flags and capabilities.
constexpr uint32_t kHeaderPitch = 0x8;
constexpr uint32_t kHeaderMipCount = 0x20000;
constexpr uint32_t kPixelAlpha = 0x1;
constexpr uint32_t kPixelFourCc = 0x4;
constexpr uint32_t kPixelRgb = 0x40;
constexpr uint32_t kCapsComplex = 0x8;
constexpr uint32_t kCapsMipmap = 0x400000;

struct TableFormat {
  uint32_t number;
  int bits;
  uint32_t red, green, blue, alpha;
};

// Direct3D format numbers a file may name in its FourCC field.
constexpr TableFormat kFormats[] = {
    {20, 24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
    {21, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
    {22, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
    {23, 16, 0xF800, 0x07E0, 0x001F, 0},
    {24, 16, 0x7C00, 0x03E0, 0x001F, 0},
    {25, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {26, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x03, 0},
    {29, 16, 0xE0, 0x1C, 0x03, 0xFF00},
    {30, 16, 0x0F00, 0x00F0, 0x000F, 0},
    {31, 32, 0x000003FF, 0x000FFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
    {33, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},
    {35, 32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
    {0xFFFFFFFF, 0, 0, 0, 0, 0},
};

const TableFormat* FindTableFormat(uint32_t number) {
  for (const TableFormat* f = kFormats; f->number != 0xFFFFFFFF; ++f)
    if (f->number == number) return f;
  return nullptr;
}

uint32_t FourCc(const char* text) {
  return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
         uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

bool ValidBits(uint32_t bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

int LevelSide(int64_t side, int level) { return int(std::max<int64_t>(side >> level, 1)); }

}  // namespace

int DecodeDds(const file::StreamReader& reader, BaseImage* image) {
  const int64_t size = input::BytesLeft(reader);
  unsigned char magic[4];
  if (size < 4 + kHeaderBytes || !input::ReadExact(reader, magic, 4) || std::memcmp(magic, "DDS", 3) != 0)
    return -1;
  unsigned char h[kHeaderBytes];
  if (!input::ReadExact(reader, h, sizeof h)) return -1;
  const uint32_t flags = U32(h + 4), height = U32(h + 8), width = U32(h + 12);
  const uint32_t headerPitch = U32(h + 16), mipCountField = U32(h + 24);
  const uint32_t pixelFlags = U32(h + 76), fourCc = U32(h + 80), bitCount = U32(h + 84);
  const uint32_t masks[4] = {U32(h + 88), U32(h + 92), U32(h + 96), U32(h + 100)};
  const uint32_t caps = U32(h + 104);
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return -1;

  ColorFormat& format = image->format;
  uint32_t compression = 0;
  int bits = 0;
  const TableFormat* row = pixelFlags == kPixelFourCc ? FindTableFormat(fourCc) : nullptr;
  if (row) {
    MakeFormatFromMasks(&format, row->bits, row->red, row->green, row->blue, row->alpha);
    bits = row->bits;
  }
  if (pixelFlags & kPixelFourCc) {
    if (fourCc == FourCc("DXT1")) compression = 1;
    else if (fourCc == FourCc("DXT2")) compression = 2;
    else if (fourCc == FourCc("DXT3")) compression = 3;
    else if (fourCc == FourCc("DXT4")) compression = 4;
    else if (fourCc == FourCc("DXT5")) compression = 5;
    else if (!row) return -1;
    if (compression) MakeArgb8Format(&format);
  } else {
    // Masks describe the pixels; colour without the alpha-pixels flag is not read.
    const bool rgb = (pixelFlags & kPixelRgb) != 0;
    if (rgb && !(pixelFlags & kPixelAlpha)) return -1;
    if (!ValidBits(bitCount)) return -1;
    // Each mask one run of bits inside the pixel, and no two sharing a bit.
    uint32_t seen = 0;
    for (uint32_t mask : masks) {
      uint32_t low = mask ? mask & (~mask + 1) : 0;
      if ((mask & seen) || (mask && ((mask + low) & mask)) || (bitCount < 32 && mask >> bitCount)) return -1;
      seen |= mask;
    }
    MakeFormatFromMasks(&format, int(bitCount), masks[0], masks[1], masks[2], masks[3]);
    bits = int(bitCount);
  }

  int mipCount = 0;
  if ((flags & kHeaderMipCount) && (caps & kCapsMipmap) && (caps & kCapsComplex)) {
    if (mipCountField > 32) return -1;
    mipCount = int(mipCountField);
  }
  const int levels = std::max(mipCount, 1);

  // Every level is read in one piece; the sum is checked against the data before allocating.
  int64_t total = 0;
  int64_t pitch = 0;
  if (compression) {
    for (int level = 0; level < levels; ++level)
      total += int64_t(DxtLevelBytes(compression, LevelSide(width, level), LevelSide(height, level)));
  } else {
    const int pixelBytes = bits / 8;
    pitch = (flags & kHeaderPitch) ? int64_t(headerPitch) : int64_t(pixelBytes) * width;
    if (pitch < int64_t(pixelBytes) * width) return -1;  // rows would overlap
    total = pitch * height;
    for (int level = 1; level < levels; ++level)
      total += int64_t(pixelBytes) * LevelSide(width, level) * LevelSide(height, level);
  }
  if (total > size - 4 - kHeaderBytes || total > input::kMaxImageBytes) return -1;
  Block pixels{size_t(total)};
  if (!pixels || !input::ReadExact(reader, pixels.get(), size_t(total))) return -1;

  if (compression) {
    format.colorBits = compression == 1 ? 4 : 8;
    format.compression = compression;
  } else if (format.pixelBytes == 1) {
    // One-byte pixels are palette indices to the rest of the runtime: the palette spells out
    // what each of the 256 values means under the file's masks.
    ColorFormat masked = format;
    for (int i = 0; i < 256; ++i) {
      int r, g, b, a;
      UnpackFormatColor(&masked, uint32_t(i), &r, &g, &b, &a);
      format.palette[i][0] = uint8_t(b);
      format.palette[i][1] = uint8_t(g);
      format.palette[i][2] = uint8_t(r);
      format.palette[i][3] = uint8_t(a);
    }
    MakePaletteFormat(&format);
  }
  image->width = int(width);
  image->height = int(height);
  image->pitch = int(pitch);
  image->mipCount = mipCount;
  image->pixels = pixels.release();
  return 0;
}

}  // namespace qr::image
