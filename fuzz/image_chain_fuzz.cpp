// Fuzzes loading from memory through the whole decoder chain. The first byte chooses mirroring
// and the bitmap form; the rest is the file.
#include "image_fuzz_common.h"
#include "qr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int mirror = data[0] & 1, bitmap = data[0] >> 1 & 1;
  qr::image::BaseImage image{};
  qr::image::DibInfo* info = nullptr;
  void* pixels = nullptr;
  if (qr::image::LoadImageFile(nullptr, data + 1, size - 1, 1, bitmap, mirror, &image, &info, &pixels) == 0) {
    if (bitmap) {
      // Every row of the bitmap is there: read the last byte of the last row.
      size_t rowBytes = (size_t(info->width) * info->bitCount / 8 + 3) & ~size_t(3);
      if (info->height != 0 && rowBytes != 0)
        (void)static_cast<volatile unsigned char*>(pixels)[rowBytes * size_t(-info->height) - 1];
      FreeMemory(info);
      FreeMemory(pixels);
    } else {
      qr::image::fuzzing::TouchEveryPixel(&image);
      qr::image::FreeImagePixels(&image);
    }
  }
  return 0;
}
