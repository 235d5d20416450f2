// Loading a picture from a file or from memory through the decoder chain, optionally mirrored
// or handed out as a bitmap, and the "_a" rule that finds a picture's alpha picture.
#include <cstring>

#include "image/image_decoders.h"
#include "qr.h"

namespace qr::image {
namespace {

constexpr size_t kPathBytes = 260;
// The bitmap header block: the information header, the colour table and four spare bytes.
constexpr size_t kDibBlockBytes = 1068;
static_assert(sizeof(DibInfo) <= kDibBlockBytes);

bool OpenReader(const char* path, const void* memory, size_t size, int fromMemory,
                file::StreamReader& reader) {
  if (fromMemory) return memory && file::OpenMemoryReader(memory, size, reader);
  return path && file::OpenFileReader(path, reader);
}

// Replaces the pixel block with a mirrored copy.
int MirrorImage(BaseImage* image) {
  if (DecodeDxtImage(image) != 0) return -1;
  if (image->width <= 0 || image->height <= 0) return 0;
  size_t bytes = size_t(image->pitch) * size_t(image->height);
  auto* mirrored = static_cast<unsigned char*>(AllocMemory(bytes, __FILE__, __LINE__));
  if (!mirrored) return -1;
  PixelConversion c;
  c.destPixels = mirrored;
  c.destPitch = image->pitch;
  c.destFormat = &image->format;
  c.sourcePixels = image->pixels;
  c.sourcePitch = image->pitch;
  c.sourceFormat = &image->format;
  c.right = image->width;
  c.bottom = image->height;
  c.mirror = 1;
  if (ConvertPixels(c) < 0) {
    FreeMemory(mirrored);
    return -1;
  }
  FreeMemory(image->pixels);
  image->pixels = mirrored;
  image->mipCount = 0;  // only the top level was mirrored
  return 0;
}

}  // namespace

int LoadImageFile(const char* path, const void* memory, size_t size, int fromMemory,
                  int bitmapWanted, int mirror, BaseImage* image, DibInfo** info,
                  void** bitmapPixels) {
  file::StreamReader reader;
  if (!OpenReader(path, memory, size, fromMemory, reader)) return -1;
  BaseImage decoded{};
  if (RunDecoderChain(reader, &decoded) != 0) {
    reader.Close();
    return -1;
  }
  if (fromMemory) reader.Close();
  auto fail = [&]() {
    FreeImagePixels(&decoded);
    if (!fromMemory) reader.Close();
    return -1;
  };

  if (mirror == 1 && MirrorImage(&decoded) != 0) return fail();

  if (bitmapWanted) {
    if (!info || !bitmapPixels || DecodeDxtImage(&decoded) != 0) return fail();
    auto* header = static_cast<DibInfo*>(AllocZeroMemory(kDibBlockBytes, __FILE__, __LINE__));
    if (!header) return fail();
    void* pixels = nullptr;
    int made = ImageToDib(&decoded, header, &pixels, 0, 0);
    if (made == -1) {
      FreeMemory(header);
      return fail();
    }
    if (made == 1) FreeMemory(decoded.pixels);
    *info = header;
    *bitmapPixels = pixels;
    if (image) std::memset(static_cast<void*>(image), 0, sizeof *image);
  } else if (image) {
    *image = decoded;
  } else {
    FreeImagePixels(&decoded);
  }
  if (!fromMemory) reader.Close();
  return 0;
}

bool MakeAlphaFileName(const char* path, char* out, size_t outSize) {
  size_t length = std::strlen(path);
  const char* dot = std::strrchr(path, '.');
  size_t stem = dot ? size_t(dot - path) : length;
  if (length + 3 > kPathBytes || length + 3 > outSize) return false;
  std::memcpy(out, path, stem);
  std::memcpy(out + stem, "_a", 2);
  std::memcpy(out + stem + 2, path + stem, length - stem + 1);
  return true;
}

int LoadImageWithAlpha(const char* path, const void* memory, size_t size, int fromMemory,
                       const void* alphaMemory, size_t alphaSize, int alphaFromMemory,
                       BaseImage* image, BaseImage* alphaImage, int mirror) {
  if (LoadImageFile(path, memory, size, fromMemory, 0, mirror, image, nullptr, nullptr) != 0) return -1;
  if ((alphaFromMemory == 1 && !alphaMemory) || (alphaFromMemory != 0 && alphaFromMemory != 1)) return 1;
  if (alphaFromMemory == 1)
    return LoadImageFile(nullptr, alphaMemory, alphaSize, 1, 0, mirror, alphaImage, nullptr, nullptr) == 0 ? 0 : 1;
  char alphaPath[kPathBytes];
  if (!path || !MakeAlphaFileName(path, alphaPath, sizeof alphaPath)) return 1;
  return LoadImageFile(alphaPath, nullptr, 0, 0, 0, mirror, alphaImage, nullptr, nullptr) == 0 ? 0 : 1;
}

}  // namespace qr::image
