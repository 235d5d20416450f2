// Scaled copies (nearest and bilinear) and the 2 x 2 reduction that makes mipmap levels.
#include <algorithm>
#include <cstring>

#include "image/base_image.h"

namespace qr::image {
namespace {

bool SpanInside(int low, int high, int extent) { return low >= 0 && low < high && high <= extent; }

struct Rgba {
  int r, g, b, a;
};

}  // namespace

int ScaleImageRect(int sourceLeft, int sourceTop, int sourceRight, int sourceBottom,
                   BaseImage* source, int destLeft, int destTop, int destRight, int destBottom,
                   BaseImage* dest, int bilinear) {
  if (!SpanInside(sourceLeft, sourceRight, source->width) ||
      !SpanInside(sourceTop, sourceBottom, source->height) ||
      !SpanInside(destLeft, destRight, dest->width) || !SpanInside(destTop, destBottom, dest->height))
    return -1;
  int sw = sourceRight - sourceLeft, sh = sourceBottom - sourceTop;
  int dw = destRight - destLeft, dh = destBottom - destTop;
  if (sw == dw && sh == dh)
    return CopyImageRect(sourceLeft, sourceTop, sw, sh, destLeft, destTop, source, dest);
  if (source->format.compression != 0 && DecodeDxtImage(source) != 0) return -1;
  if (dest->format.compression != 0 && DecodeDxtImage(dest) != 0) return -1;

  // 16.16 fixed point.
  const int64_t stepX = (int64_t(sw) << 16) / dw, stepY = (int64_t(sh) << 16) / dh;
  int64_t fyPos = int64_t(sourceTop) << 16;
  for (int dy = destTop; dy < destBottom; ++dy, fyPos += stepY) {
    int64_t fxPos = int64_t(sourceLeft) << 16;
    int y = int(fyPos >> 16);
    for (int dx = destLeft; dx < destRight; ++dx, fxPos += stepX) {
      int x = int(fxPos >> 16);
      Rgba out{};
      if (!bilinear) {
        ReadImagePixel(source, x, y, &out.r, &out.g, &out.b, &out.a);
      } else {
        // The neighbours right of the last column and below the last row repeat the edge.
        int x1 = std::min(x + 1, sourceRight - 1), y1 = std::min(y + 1, sourceBottom - 1);
        Rgba p[4]{};
        ReadImagePixel(source, x, y, &p[0].r, &p[0].g, &p[0].b, &p[0].a);
        ReadImagePixel(source, x1, y, &p[1].r, &p[1].g, &p[1].b, &p[1].a);
        ReadImagePixel(source, x, y1, &p[2].r, &p[2].g, &p[2].b, &p[2].a);
        ReadImagePixel(source, x1, y1, &p[3].r, &p[3].g, &p[3].b, &p[3].a);
        uint32_t fx = uint32_t(fxPos & 0xFFFF), fy = uint32_t(fyPos & 0xFFFF);
        // 0xFFFF, not 0x10000: a full-white area comes out as 254.
        uint32_t w[4] = {(0xFFFFu - fx) * (0xFFFFu - fy) >> 16, fx * (0xFFFFu - fy) >> 16,
                         (0xFFFFu - fx) * fy >> 16, fx * fy >> 16};
        uint32_t r = 0, g = 0, b = 0, a = 0;
        for (int i = 0; i < 4; ++i) {
          r += w[i] * uint32_t(p[i].r);
          g += w[i] * uint32_t(p[i].g);
          b += w[i] * uint32_t(p[i].b);
          a += w[i] * uint32_t(p[i].a);
        }
        out = Rgba{int(r >> 16), int(g >> 16), int(b >> 16), int(a >> 16)};
      }
      WriteImagePixel(dest, dx, dy, out.r, out.g, out.b, out.a);
    }
  }
  return 0;
}

namespace {

template <typename Word>
Word Average(const uint32_t* masks, int count, uint32_t spare, uint64_t a, uint64_t b, uint64_t c,
             uint64_t d, int shift) {
  uint64_t out = spare;
  for (int i = 0; i < count; ++i) {
    uint64_t m = masks[i];
    out |= (((a & m) + (b & m) + (c & m) + (d & m)) >> shift) & m;
  }
  return Word(out);
}

template <typename Word>
void Halve(const ColorFormat& f, unsigned char* dest, int destPitch, const unsigned char* source,
           int sourcePitch, int width, int height) {
  uint32_t masks[4];
  int count = 0;
  for (uint32_t m : {f.redMask, f.greenMask, f.blueMask, f.alphaMask})
    if (m) masks[count++] = m;
  int dw = std::max(width / 2, 1), dh = std::max(height / 2, 1);
  int stepX = width > 1 ? 1 : 0, stepY = height > 1 ? 1 : 0;
  // Pairs average with >> 1 (a 1-wide or 1-high source), blocks of four with >> 2.
  int shift = stepX + stepY;
  for (int y = 0; y < dh; ++y) {
    const unsigned char* row0 = source + size_t(y * 2 * stepY + 0) * size_t(sourcePitch);
    const unsigned char* row1 = row0 + size_t(stepY) * size_t(sourcePitch);
    unsigned char* out = dest + size_t(y) * size_t(destPitch);
    for (int x = 0; x < dw; ++x) {
      Word p[4];
      size_t x0 = size_t(x) * 2 * stepX, x1 = x0 + stepX;
      std::memcpy(&p[0], row0 + x0 * sizeof(Word), sizeof(Word));
      std::memcpy(&p[1], row0 + x1 * sizeof(Word), sizeof(Word));
      std::memcpy(&p[2], row1 + x0 * sizeof(Word), sizeof(Word));
      std::memcpy(&p[3], row1 + x1 * sizeof(Word), sizeof(Word));
      Word w;
      if (shift == 0) {
        w = p[0];
      } else if (shift == 1) {
        // Only two distinct pixels: count each twice so that the >> 1 comes out of the >> 2.
        uint64_t b = stepX ? p[1] : p[2];
        w = Average<Word>(masks, count, f.spareMask, p[0], p[0], b, b, 2);
      } else {
        w = Average<Word>(masks, count, f.spareMask, p[0], p[1], p[2], p[3], 2);
      }
      std::memcpy(out + size_t(x) * sizeof(Word), &w, sizeof(Word));
    }
  }
}

}  // namespace

int HalveImageRect(const ColorFormat* format, void* dest, int destPitch, const void* source,
                   int sourcePitch, int width, int height) {
  if (width <= 0 || height <= 0) return -1;
  if ((width != 1 && width % 2 != 0) || (height != 1 && height % 2 != 0)) return -1;
  auto* d = static_cast<unsigned char*>(dest);
  auto* s = static_cast<const unsigned char*>(source);
  if (format->colorBits == 16 && format->pixelBytes == 2)
    Halve<uint16_t>(*format, d, destPitch, s, sourcePitch, width, height);
  else if (format->colorBits == 32 && format->pixelBytes == 4)
    Halve<uint32_t>(*format, d, destPitch, s, sourcePitch, width, height);
  return 0;
}

}  // namespace qr::image
