// A base image described as a device-independent bitmap: 8-bit with its palette, or 24-bit
// blue-green-red, rows top to bottom with a 4-byte pitch.
#include <cstring>

#include "image/base_image.h"
#include "qr.h"

namespace qr::image {
namespace {

// Rows of rowBytes from an image of another pitch into a new block of the given pitch.
void* Repack(const BaseImage& image, size_t rowBytes, size_t pitch) {
  auto* block = static_cast<unsigned char*>(AllocZeroMemory(pitch * size_t(image.height), __FILE__, __LINE__));
  if (!block) return nullptr;
  for (int y = 0; y < image.height; ++y)
    std::memcpy(block + size_t(y) * pitch, image.pixels + size_t(y) * size_t(image.pitch), rowBytes);
  return block;
}

}  // namespace

int ImageToDib(BaseImage* image, DibInfo* info, void** pixels, int forceCopy, int force24Bit) {
  if (image->format.compression != 0 && DecodeDxtImage(image) != 0) return -1;
  std::memset(info, 0, sizeof *info);
  info->size = 40;
  info->width = image->width;
  info->height = -image->height;
  info->planes = 1;
  const bool palette = IsPaletteFormat(image->format) && !force24Bit;
  const size_t width = size_t(image->width);
  const size_t pitch = palette ? (width + 3) & ~size_t(3) : (width * 3 + 3) & ~size_t(3);
  info->bitCount = palette ? 8 : 24;
  info->imageBytes = uint32_t(pitch * size_t(image->height));

  if (palette) {
    std::memcpy(info->colors, image->format.palette, sizeof info->colors);
    if (size_t(image->pitch) == pitch && !forceCopy) {
      *pixels = image->pixels;
      return forceCopy;
    }
    void* block = Repack(*image, width, pitch);
    if (!block) return -1;
    *pixels = block;
    return 1;
  }

  const ColorFormat& f = image->format;
  bool plainBgr = f.colorBits == 24 && f.pixelBytes == 3 && f.redMask == 0x00FF0000u &&
                  f.greenMask == 0x0000FF00u && f.blueMask == 0x000000FFu;
  if (plainBgr && !forceCopy) {
    if (size_t(image->pitch) == pitch) {
      *pixels = image->pixels;
      return forceCopy;
    }
    void* block = Repack(*image, width * 3, pitch);
    if (!block) return -1;
    *pixels = block;
    return 1;
  }
  void* block = AllocZeroMemory(pitch * size_t(image->height), __FILE__, __LINE__);
  if (!block) return -1;
  ColorFormat rgb24{};
  MakeRgb24Format(&rgb24);
  PixelConversion c;
  c.destPixels = block;
  c.destPitch = int(pitch);
  c.destFormat = &rgb24;
  c.sourcePixels = image->pixels;
  c.sourcePitch = image->pitch;
  c.sourceFormat = &image->format;
  c.right = image->width;
  c.bottom = image->height;
  if (image->width > 0 && image->height > 0 && ConvertPixels(c) < 0) {
    FreeMemory(block);
    return -1;
  }
  *pixels = block;
  return 1;
}

}  // namespace qr::image
