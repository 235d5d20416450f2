// The runtime's raw "BGRA" pictures: a 16-byte header, then rows of blue, green, red and alpha
// with 8 or 16 bits per channel.
#include <cstring>

#include "image/decoder_input.h"
#include "image/image_decoders.h"

namespace qr::image {
namespace {

using input::Block;
using input::U32;

constexpr uint32_t kDepth8 = 0x08080808u;
constexpr uint32_t kDepth16 = 0x10101010u;
constexpr int64_t kMaxSide = 1 << 24;  // keeps the size products far from overflow

}  // namespace

int DecodeBgra(const file::StreamReader& reader, BaseImage* image) {
  const int64_t size = input::BytesLeft(reader);
  unsigned char h[16];
  if (size < 16 || !input::ReadExact(reader, h, sizeof h) || std::memcmp(h, "BGRA", 4) != 0) return -1;
  const uint32_t depth = U32(h + 4);
  const int64_t width = int32_t(U32(h + 8)), height = int32_t(U32(h + 12));
  if (depth != kDepth8 && depth != kDepth16) return -1;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return -1;
  const int64_t pitch = width * 4;
  const int64_t fileRow = depth == kDepth8 ? pitch : width * 8;
  // The rows must all be there before anything is allocated for them.
  if (fileRow * height > size - 16 || pitch * height > input::kMaxImageBytes) return -1;

  Block pixels(size_t(pitch * height));
  if (!pixels) return -1;
  if (depth == kDepth8) {
    if (!input::ReadExact(reader, pixels.get(), size_t(pitch * height))) return -1;
  } else {
    Block row{size_t(fileRow)};
    if (!row) return -1;
    for (int64_t y = 0; y < height; ++y) {
      if (!input::ReadExact(reader, row.get(), size_t(fileRow))) return -1;
      unsigned char* out = pixels.get() + size_t(y * pitch);
      // Each 16-bit channel keeps its high byte.
      for (int64_t i = 0; i < width * 4; ++i) out[i] = row.get()[i * 2 + 1];
    }
  }
  MakeArgb8Format(&image->format);
  image->width = int(width);
  image->height = int(height);
  image->pitch = int(pitch);
  image->mipCount = 0;
  image->pixels = pixels.release();
  return 0;
}

}  // namespace qr::image
