// Truevision TGA files: colour-mapped and true-colour, plain and run-length, 16, 24 and 32 bits,
// in any of the four orientations.
#include <algorithm>
#include <cstring>
#include <utility>

#include "image/decoder_input.h"
#include "image/image_decoders.h"

namespace qr::image {
namespace {

using input::Block;
using input::U16;
using input::U32;

constexpr int kHeaderBytes = 18;
constexpr int kFooterBytes = 26;
constexpr int kMaxSide = 8192;

struct TgaHeader {
  uint8_t idLength, mapType, imageType;
  uint16_t mapFirst, mapLength;
  uint8_t mapBits;
  uint16_t xOrigin, yOrigin, width, height;
  uint8_t pixelBits, descriptor;
};

// Run-length packets into count elements of elementBytes each. Packets that run past the end
// are cut; data that ends first is declined.
bool DecodeRunLength(const unsigned char* data, size_t length, size_t elementBytes, size_t count,
                     unsigned char* out) {
  size_t pos = 0, done = 0;
  while (done < count) {
    if (pos >= length) return false;
    unsigned header = data[pos++];
    size_t n = std::min<size_t>((header & 0x7F) + 1, count - done);
    if (header & 0x80) {
      if (length - pos < elementBytes) return false;
      for (size_t i = 0; i < n; ++i) std::memcpy(out + (done + i) * elementBytes, data + pos, elementBytes);
      pos += elementBytes;
    } else {
      if ((length - pos) / elementBytes < n) return false;
      std::memcpy(out + done * elementBytes, data + pos, n * elementBytes);
      pos += n * elementBytes;
    }
    done += n;
  }
  return true;
}

}  // namespace

int DecodeTga(const file::StreamReader& reader, BaseImage* image) {
  const int64_t size = input::BytesLeft(reader);
  if (size < kHeaderBytes) return -1;

  bool footer = false;
  if (size >= kHeaderBytes + kFooterBytes) {
    unsigned char f[kFooterBytes];
    if (reader.Seek(int32_t(size - kFooterBytes), file::kSeekSet) == 0 &&
        input::ReadExact(reader, f, sizeof f))
      footer = std::memcmp(f + 8, "TRUEVISION-XFILE", 16) == 0 && U32(f) == 0;
  }
  const int64_t dataEnd = footer ? size - kFooterBytes : size;

  unsigned char b[kHeaderBytes];
  if (reader.Seek(0, file::kSeekSet) != 0 || !input::ReadExact(reader, b, sizeof b)) return -1;
  TgaHeader h{b[0], b[1], b[2], U16(b + 3), U16(b + 5), b[7], U16(b + 8), U16(b + 10),
              U16(b + 12), U16(b + 14), b[16], b[17]};

  const int type = h.imageType;
  if ((type >= 4 && type <= 8) || type > 11 || type == 0 || type == 3 || type == 11) return -1;
  if (h.xOrigin != 0 || h.yOrigin != 0) return -1;
  if (h.width == 0 || h.height == 0 || h.width > kMaxSide || h.height > kMaxSide) return -1;
  const bool mapped = type == 1 || type == 9;
  const int pixelBits = mapped ? h.mapBits : h.pixelBits;
  if (pixelBits != 16 && pixelBits != 24 && pixelBits != 32) return -1;
  // Colour-mapped pictures hold one-byte indices into a map of at most 256 entries.
  if (mapped && (h.mapType != 1 || h.pixelBits != 8 || h.mapFirst + h.mapLength > 256)) return -1;

  int64_t pos = kHeaderBytes + h.idLength;
  const size_t pixelBytes = size_t(pixelBits / 8);
  uint8_t map[256][4] = {};
  if (h.mapType == 1) {
    const int64_t mapBytes = int64_t(h.mapLength) * ((h.mapBits + 7) / 8);
    if (mapped) {
      if (pos + mapBytes > dataEnd || reader.Seek(int32_t(pos), file::kSeekSet) != 0) return -1;
      for (int i = 0; i < h.mapLength; ++i)
        if (!input::ReadExact(reader, map[h.mapFirst + i], pixelBytes)) return -1;
    }
    pos += mapBytes;  // a map in a true-colour file is skipped
  }
  if (pos > dataEnd || reader.Seek(int32_t(pos), file::kSeekSet) != 0) return -1;

  const size_t count = size_t(h.width) * h.height;
  const size_t elementBytes = mapped ? 1 : pixelBytes;
  const int64_t available = dataEnd - pos;
  Block elements;
  if (type == 1 || type == 2) {
    if (int64_t(count * elementBytes) > available) return -1;
    if (!elements.Allocate(count * elementBytes) || !input::ReadExact(reader, elements.get(), count * elementBytes))
      return -1;
  } else {
    // Each packet gives at most 128 elements, so the data must hold this many packets at least.
    if (int64_t((count + 127) / 128 * (1 + elementBytes)) > available) return -1;
    Block packed{size_t(available)};
    if (!packed || !input::ReadExact(reader, packed.get(), size_t(available)) ||
        !elements.Allocate(count * elementBytes) ||
        !DecodeRunLength(packed.get(), size_t(available), elementBytes, count, elements.get()))
      return -1;
  }

  // Indices become map entries; an index outside the file's map is an error.
  Block pixels;
  if (mapped) {
    if (!pixels.Allocate(count * pixelBytes)) return -1;
    for (size_t i = 0; i < count; ++i) {
      unsigned index = elements.get()[i];
      if (index < h.mapFirst || index >= unsigned(h.mapFirst + h.mapLength)) return -1;
      std::memcpy(pixels.get() + i * pixelBytes, map[index], pixelBytes);
    }
  } else {
    pixels = std::move(elements);
  }

  const int width = h.width, height = h.height;
  const size_t pitch = size_t(width) * pixelBytes;
  const bool bottomUp = !(h.descriptor & 0x20), rightToLeft = (h.descriptor & 0x10) != 0;
  if (bottomUp || rightToLeft) {
    Block turned(pitch * size_t(height));
    if (!turned) return -1;
    for (int y = 0; y < height; ++y) {
      const unsigned char* src = pixels.get() + size_t(bottomUp ? height - 1 - y : y) * pitch;
      unsigned char* dst = turned.get() + size_t(y) * pitch;
      if (!rightToLeft) {
        std::memcpy(dst, src, pitch);
      } else {
        for (int x = 0; x < width; ++x)
          std::memcpy(dst + size_t(x) * pixelBytes, src + size_t(width - 1 - x) * pixelBytes, pixelBytes);
      }
    }
    pixels = std::move(turned);
  }

  if (pixelBits == 16)
    MakeFormatFromMasks(&image->format, 16, 0x7C00, 0x03E0, 0x001F, 0);
  else if (pixelBits == 24)
    MakeRgb24Format(&image->format);
  else
    MakeArgb8Format(&image->format);
  image->width = width;
  image->height = height;
  image->pitch = int(pitch);
  image->mipCount = 0;
  image->pixels = pixels.release();
  return 0;
}

}  // namespace qr::image
