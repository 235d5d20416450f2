// The standard pixel formats, packing and unpacking colours, and single-pixel access.
#include <cstring>

#include "image/base_image.h"

namespace qr::image {
namespace {

// Position of the lowest set bit and the run of set bits from there; both 0 for a zero mask.
void MaskShape(uint32_t mask, uint8_t* shift, uint8_t* width) {
  *shift = 0;
  *width = 0;
  if (mask == 0) return;
  int s = 0;
  while (!(mask >> s & 1u)) ++s;
  int w = 0;
  while (s + w < 32 && (mask >> (s + w) & 1u)) ++w;
  *shift = uint8_t(s);
  *width = uint8_t(w);
}

uint32_t PixelBitsMask(int bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

void SetEightBitChannels(ColorFormat* f) {
  f->redWidth = f->greenWidth = f->blueWidth = 8;
  f->alphaWidth = 0;
  f->redShift = 16;
  f->greenShift = 8;
  f->blueShift = 0;
  f->alphaShift = 0;
  f->redMask = 0x00FF0000u;
  f->greenMask = 0x0000FF00u;
  f->blueMask = 0x000000FFu;
  f->alphaMask = 0;
  f->compression = 0;
}

// A channel value of the given width scaled to 0 ... 255.
int ScaleTo255(uint32_t value, int width) {
  if (width == 0) return 0;
  uint64_t max = (uint64_t(1) << width) - 1;
  return int(uint64_t(value) * 255 / max);
}

uint32_t ChannelBits(int value, int width, int shift) {
  if (width == 0) return 0;
  uint32_t v = uint32_t(value) & 0xFFu;
  // Channels wider than 8 bits get the component in their top bits.
  uint32_t bits = width <= 8 ? v >> (8 - width) : v << (width - 8);
  return bits << shift;
}

}  // namespace

int MakePaletteFormat(ColorFormat* format) {
  format->colorBits = 8;
  format->pixelBytes = 1;
  SetEightBitChannels(format);
  format->spareMask = 0xFF000000u;
  return 0;
}

int MakeGrayFormat(ColorFormat* format) {
  MakePaletteFormat(format);
  for (int i = 0; i < 256; ++i) {
    format->palette[i][0] = format->palette[i][1] = format->palette[i][2] = uint8_t(i);
    format->palette[i][3] = 0;
  }
  return 0;
}

int MakeXrgb8Format(ColorFormat* format) {
  format->colorBits = 32;
  format->pixelBytes = 4;
  SetEightBitChannels(format);
  format->spareMask = 0xFF000000u;
  format->spareShift = 24;
  format->spareWidth = 8;
  return 0;
}

int MakeArgb8Format(ColorFormat* format) {
  format->colorBits = 32;
  format->pixelBytes = 4;
  SetEightBitChannels(format);
  format->alphaWidth = 8;
  format->alphaShift = 24;
  format->alphaMask = 0xFF000000u;
  format->spareMask = 0;
  format->spareShift = 0;
  format->spareWidth = 0;
  return 0;
}

int MakeRgb24Format(ColorFormat* format) {
  format->colorBits = 24;
  format->pixelBytes = 3;
  SetEightBitChannels(format);
  format->spareMask = 0;
  format->spareShift = 0;
  format->spareWidth = 0;
  return 0;
}

int MakeFormatFromMasks(ColorFormat* format, int bits, uint32_t redMask, uint32_t greenMask,
                        uint32_t blueMask, uint32_t alphaMask) {
  format->colorBits = uint16_t(bits);
  format->pixelBytes = uint16_t(bits / 8);
  format->redMask = redMask;
  format->greenMask = greenMask;
  format->blueMask = blueMask;
  format->alphaMask = alphaMask;
  MaskShape(redMask, &format->redShift, &format->redWidth);
  MaskShape(greenMask, &format->greenShift, &format->greenWidth);
  MaskShape(blueMask, &format->blueShift, &format->blueWidth);
  MaskShape(alphaMask, &format->alphaShift, &format->alphaWidth);
  format->spareMask = PixelBitsMask(bits) & ~(redMask | greenMask | blueMask | alphaMask);
  MaskShape(format->spareMask, &format->spareShift, &format->spareWidth);
  format->compression = 0;
  return 0;
}

void UpdateSpareMask(ColorFormat* format) {
  int widths = format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
  if (widths == format->colorBits)
    format->spareMask = 0;
  else
    format->spareMask = PixelBitsMask(format->colorBits) &
                        ~(format->redMask | format->greenMask | format->blueMask | format->alphaMask);
}

bool SameLayout(const ColorFormat& a, const ColorFormat& b) {
  return a.colorBits == b.colorBits && a.redMask == b.redMask && a.greenMask == b.greenMask &&
         a.blueMask == b.blueMask && a.alphaMask == b.alphaMask;
}

uint32_t PackFormatColor(const ColorFormat* format, int red, int green, int blue, int alpha) {
  if (IsPaletteFormat(*format)) {
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < 256; ++i) {
      int db = blue - format->palette[i][0];
      int dg = green - format->palette[i][1];
      int dr = red - format->palette[i][2];
      int distance = db * db + dg * dg + dr * dr;
      if (distance < bestDistance) {
        bestDistance = distance;
        best = i;
        if (distance == 0) break;
      }
    }
    return uint32_t(best);
  }
  uint32_t word = ChannelBits(blue, format->blueWidth, format->blueShift) |
                  ChannelBits(green, format->greenWidth, format->greenShift) |
                  ChannelBits(red, format->redWidth, format->redShift) | format->spareMask;
  if (format->alphaWidth) word |= ChannelBits(alpha, format->alphaWidth, format->alphaShift);
  return word;
}

void UnpackFormatColor(const ColorFormat* format, uint32_t word, int* red, int* green, int* blue,
                       int* alpha) {
  if (red) *red = ScaleTo255((word & format->redMask) >> format->redShift, format->redWidth);
  if (green)
    *green = ScaleTo255((word & format->greenMask) >> format->greenShift, format->greenWidth);
  if (blue) *blue = ScaleTo255((word & format->blueMask) >> format->blueShift, format->blueWidth);
  if (alpha)
    *alpha = ScaleTo255((word & format->alphaMask) >> format->alphaShift, format->alphaWidth);
}

int ReadImagePixel(BaseImage* image, int x, int y, int* red, int* green, int* blue, int* alpha) {
  if (unsigned(x) >= unsigned(image->width) || unsigned(y) >= unsigned(image->height)) return -1;
  if (image->format.compression != 0 && DecodeDxtImage(image) != 0) return -1;
  const ColorFormat& f = image->format;
  const unsigned char* p = image->pixels + size_t(y) * size_t(image->pitch) + size_t(x) * f.pixelBytes;
  if (IsPaletteFormat(f)) {
    const uint8_t* e = f.palette[*p];
    if (red) *red = e[2];
    if (green) *green = e[1];
    if (blue) *blue = e[0];
    if (alpha) *alpha = e[3];
    return 0;
  }
  UnpackFormatColor(&f, LoadPixelWord(p, f.pixelBytes), red, green, blue, alpha);
  return 0;
}

int WriteImagePixel(BaseImage* image, int x, int y, int red, int green, int blue, int alpha) {
  if (unsigned(x) >= unsigned(image->width) || unsigned(y) >= unsigned(image->height)) return -1;
  if (image->format.compression != 0 && DecodeDxtImage(image) != 0) return -1;
  const ColorFormat& f = image->format;
  unsigned char* p = image->pixels + size_t(y) * size_t(image->pitch) + size_t(x) * f.pixelBytes;
  StorePixelWord(p, f.pixelBytes, PackFormatColor(&f, red, green, blue, alpha));
  return 0;
}

}  // namespace qr::image
