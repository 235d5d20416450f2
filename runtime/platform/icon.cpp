#include "platform/icon.h"

#include <png.h>

#include <cstring>

namespace qr::platform {

std::optional<IconImage> LoadIconResource(System& system, int id) {
  Resource resource = system.FindResource(id);
  if (!resource.data || resource.size == 0) return std::nullopt;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, resource.data, resource.size)) return std::nullopt;
  // Icons are small; anything larger than 256 x 256 is not one.
  if (image.width == 0 || image.height == 0 || image.width > 256 || image.height > 256) {
    png_image_free(&image);
    return std::nullopt;
  }
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
  IconImage icon;
  icon.width = int(image.width);
  icon.height = int(image.height);
  icon.pixels.resize(size_t(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, icon.pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return icon;
}

}  // namespace qr::platform
