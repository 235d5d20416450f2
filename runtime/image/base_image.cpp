// Allocating, clearing and mirroring the pixel block of a base image.
#include <algorithm>
#include <cstring>

#include "image/base_image.h"
#include "qr.h"

namespace qr::image {

int AllocImagePixels(int width, int height, const ColorFormat* format, BaseImage* image) {
  image->format = *format;
  image->width = width;
  image->height = height;
  image->mipCount = 0;
  if (width < 0 || height < 0) return -1;
  int64_t pitch = (int64_t(width) * format->pixelBytes + 3) & ~int64_t(3);
  int64_t bytes = pitch * height;
  if (pitch > 0x7FFFFFFF || bytes > 0x7FFFFFFF) return -1;
  image->pitch = int(pitch);
  void* pixels = AllocMemory(size_t(bytes), __FILE__, __LINE__);
  if (!pixels) return -1;
  image->pixels = static_cast<unsigned char*>(pixels);
  return 0;
}

int AllocXrgb8ImagePixels(int width, int height, BaseImage* image) {
  MakeXrgb8Format(&image->format);
  ColorFormat format = image->format;
  return AllocImagePixels(width, height, &format, image);
}

int AllocArgb8ImagePixels(int width, int height, BaseImage* image) {
  MakeArgb8Format(&image->format);
  ColorFormat format = image->format;
  return AllocImagePixels(width, height, &format, image);
}

void FreeImagePixels(BaseImage* image) {
  if (image->pixels) FreeMemory(image->pixels);
  std::memset(static_cast<void*>(image), 0, sizeof *image);
}

int ClearImageRect(BaseImage* image, int x, int y, int width, int height) {
  // Clipped to the image, so that a rectangle reaching past an edge clears only what exists.
  int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  int64_t x1 = std::min<int64_t>(int64_t(x) + width, image->width);
  int64_t y1 = std::min<int64_t>(int64_t(y) + height, image->height);
  if (x1 <= x0 || y1 <= y0 || !image->pixels) return 0;
  size_t bytes = size_t(x1 - x0) * image->format.pixelBytes;
  for (int64_t row = y0; row < y1; ++row)
    std::memset(image->pixels + size_t(row) * size_t(image->pitch) + size_t(x0) * image->format.pixelBytes,
                0, bytes);
  return 0;
}

int MirrorImageRows(BaseImage* image) {
  if (image->width == 0 || image->height == 0) return -1;
  int bytes = image->format.pixelBytes;
  for (int y = 0; y < image->height; ++y) {
    unsigned char* left = image->pixels + size_t(y) * size_t(image->pitch);
    unsigned char* right = left + size_t(image->width - 1) * bytes;
    for (; left < right; left += bytes, right -= bytes) std::swap_ranges(left, left + bytes, right);
  }
  return 0;
}

}  // namespace qr::image
