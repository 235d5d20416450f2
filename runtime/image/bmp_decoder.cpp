// Windows bitmap files: 1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bit fields, bottom-up and
// top-down. 4- and 8-bit pictures stay palette pictures, 24-bit ones stay as they are; 1, 16
// and 32 bits and bit fields become 24-bit blue-green-red rows.
#include <cstring>

#include "image/decoder_input.h"
#include "image/image_decoders.h"
#include "qr.h"

namespace qr::image {
namespace {

using input::Block;
using input::U16;
using input::U32;

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int64_t kMaxSide = 1 << 16;

struct BmpHeader {
  uint32_t pixelOffset;
  uint32_t headerSize;
  int32_t width;
  int32_t height;  // negative: top-down
  uint16_t bitCount;
  uint32_t compression;
  uint32_t colorsUsed;
};

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

// The colour table: entries in file order (blue, green, red, 0) and how many the file defines.
struct ColorTable {
  uint8_t entries[256][4];
  unsigned count;
};

// Where a decoded row y (in file order) lands in a top-down block.
inline size_t OutRow(int y, int height, bool bottomUp) {
  return size_t(bottomUp ? height - 1 - y : y);
}

// RLE8 / RLE4 into a zeroed block of one index byte per pixel. Encoders that code each row to
// its padded size write runs reaching a few pixels past the width: those pixels are dropped
// (their bytes still consumed) and the position stays at the row's end. Deltas must stay inside
// the picture, runs inside its rows, and the indices drawn inside the colour table; data that
// ends before the last row without an end-of-bitmap code is cut short and declined.
bool DecodeRle(const unsigned char* data, size_t length, bool fourBit, int width, int height,
               bool bottomUp, unsigned char* out, size_t pitch, unsigned colors) {
  size_t pos = 0;
  int x = 0, y = 0;
  auto put = [&](unsigned index) {
    if (index >= colors) return false;
    out[OutRow(y, height, bottomUp) * pitch + size_t(x++)] = uint8_t(index);
    return true;
  };
  for (;;) {
    if (length - pos < 2) return y >= height;
    unsigned count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      if (y >= height) return false;
      for (unsigned i = 0; i < count && x < width; ++i)
        if (!put(fourBit ? (i & 1 ? value & 15 : value >> 4) : value)) return false;
    } else if (value == 0) {  // end of line
      x = 0;
      if (++y > height) return false;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (length - pos < 2) return false;
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
      if (x > width || y > height) return false;
    } else {  // absolute run of `value` indices
      size_t bytes = fourBit ? (value + 1) / 2 : value;
      if (length - pos < bytes || y >= height) return false;
      for (unsigned i = 0; i < value && x < width; ++i) {
        unsigned index = fourBit ? (i & 1 ? data[pos + i / 2] & 15 : data[pos + i / 2] >> 4) : data[pos + i];
        if (!put(index)) return false;
      }
      pos += bytes;
      pos += pos & 1;  // runs end on an even offset
      if (pos > length) pos = length;
    }
  }
}

// A channel of the given mask widened to 8 bits the way the bitmap conversion does it: the
// value is moved to the top of the byte and its top bits repeated below.
struct Field {
  int shift = 0, width = 0;
  explicit Field(uint32_t mask) {
    if (!mask) return;
    while (!(mask >> shift & 1u)) ++shift;
    while (shift + width < 32 && (mask >> (shift + width) & 1u)) ++width;
  }
  uint8_t Expand(uint32_t pixel) const {
    if (width == 0) return 0;
    uint32_t v = (pixel >> shift) & (width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u);
    if (width >= 8) return uint8_t(v >> (width - 8));
    uint32_t top = v << (8 - width);
    return uint8_t(top | top >> width);
  }
};

bool Contiguous(uint32_t mask) {
  if (!mask) return true;
  while (!(mask & 1u)) mask >>= 1;
  return (mask & (mask + 1)) == 0;
}

void SetPalette(ColorFormat* format, const ColorTable& table) {
  MakePaletteFormat(format);
  std::memset(format->palette, 0, sizeof format->palette);
  for (unsigned i = 0; i < table.count; ++i) {
    std::memcpy(format->palette[i], table.entries[i], 3);
    format->palette[i][3] = 0;
  }
}

// The variants the platform's bitmap conversion handled: into 24-bit top-down rows.
int ConvertTo24(const BmpHeader& h, const ColorTable& table, const uint32_t masks[3],
                const unsigned char* data, size_t rowSize, BaseImage* image) {
  const int width = h.width, height = h.height < 0 ? -h.height : h.height;
  const bool bottomUp = h.height > 0;
  const size_t pitch = (size_t(width) * 3 + 3) & ~size_t(3);
  Block out(pitch * size_t(height), true);
  if (!out) {
    WriteLog("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
    return -1;
  }
  const Field red(masks[0]), green(masks[1]), blue(masks[2]);
  for (int y = 0; y < height; ++y) {
    const unsigned char* src = data + size_t(y) * rowSize;
    unsigned char* dst = out.get() + OutRow(y, height, bottomUp) * pitch;
    for (int x = 0; x < width; ++x, dst += 3) {
      if (h.bitCount == 1) {
        unsigned index = src[x >> 3] >> (7 - (x & 7)) & 1u;
        if (index >= table.count) return -1;
        std::memcpy(dst, table.entries[index], 3);
        continue;
      }
      uint32_t pixel = h.bitCount == 16 ? U16(src + size_t(x) * 2) : U32(src + size_t(x) * 4);
      dst[0] = blue.Expand(pixel);
      dst[1] = green.Expand(pixel);
      dst[2] = red.Expand(pixel);
    }
  }
  MakeRgb24Format(&image->format);
  image->pitch = int(pitch);
  image->pixels = out.release();
  return 0;
}

bool IndicesInTable(const unsigned char* pixels, size_t pitch, int width, int height, unsigned colors) {
  if (colors >= 256) return true;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (pixels[size_t(y) * pitch + size_t(x)] >= colors) return false;
  return true;
}

}  // namespace

int DecodeBmp(const file::StreamReader& reader, BaseImage* image) {
  const int64_t size = input::BytesLeft(reader);
  if (size < kFileHeaderBytes + kInfoHeaderBytes) return -1;
  unsigned char fileHeader[kFileHeaderBytes];
  unsigned char info[kInfoHeaderBytes + 4];
  if (!input::ReadExact(reader, fileHeader, sizeof fileHeader) || fileHeader[0] != 'B' ||
      fileHeader[1] != 'M')
    return -1;
  if (!input::ReadExact(reader, info, sizeof info)) return -1;
  BmpHeader h;
  h.pixelOffset = U32(fileHeader + 10);
  h.headerSize = U32(info);
  h.width = int32_t(U32(info + 4));
  h.height = int32_t(U32(info + 8));
  h.bitCount = U16(info + 14);
  h.compression = U32(info + 16);
  h.colorsUsed = U32(info + 32);

  // Only the information header of 40 bytes and its longer successors are read.
  if (h.headerSize < kInfoHeaderBytes || h.headerSize > size - kFileHeaderBytes) return -1;
  if (h.width <= 0 || h.width > kMaxSide || h.height == 0 || h.height < -kMaxSide ||
      h.height > kMaxSide)
    return -1;
  const int width = h.width, height = h.height < 0 ? -h.height : h.height;
  const bool bottomUp = h.height > 0;

  // The colour table follows the information header; a file may define fewer entries than
  // its depth allows, never more than 256.
  ColorTable table{};
  if (h.bitCount <= 8) {
    if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8) return -1;
    unsigned entries = 1u << h.bitCount;
    if (h.colorsUsed > 256) return -1;
    table.count = h.colorsUsed == 0 || h.colorsUsed > entries ? entries : h.colorsUsed;
    if (reader.Seek(int32_t(kFileHeaderBytes + h.headerSize), file::kSeekSet) != 0 ||
        !input::ReadExact(reader, table.entries, size_t(table.count) * 4))
      return -1;
  }
  // Bit fields: the red, green and blue masks at the end of the 40-byte header.
  uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
  if (h.bitCount == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  if (h.compression == kBitFields) {
    if (h.bitCount != 16 && h.bitCount != 32) return -1;
    unsigned char m[12];
    if (reader.Seek(kFileHeaderBytes + kInfoHeaderBytes, file::kSeekSet) != 0 ||
        !input::ReadExact(reader, m, sizeof m))
      return -1;
    for (int i = 0; i < 3; ++i) {
      masks[i] = U32(m + 4 * i);
      if (!Contiguous(masks[i]) || (h.bitCount == 16 && masks[i] > 0xFFFF)) return -1;
    }
  }

  const int64_t rowSize = ((int64_t(width) * h.bitCount + 31) / 32) * 4;
  if (h.pixelOffset > size) return -1;
  const int64_t dataBytes = size - h.pixelOffset;
  Block data{size_t(dataBytes)};
  if (!data || reader.Seek(int32_t(h.pixelOffset), file::kSeekSet) != 0 ||
      !input::ReadExact(reader, data.get(), size_t(dataBytes)))
    return -1;

  image->width = width;
  image->height = height;
  image->mipCount = 0;

  if (h.compression == kRle8 || h.compression == kRle4) {
    const bool four = h.compression == kRle4;
    if (h.bitCount != (four ? 4 : 8)) return -1;
    const int64_t pitch = (int64_t(width) + 3) & ~int64_t(3);
    if (!input::PlausibleExpansion(pitch * height, dataBytes, 1024)) return -1;
    Block out(size_t(pitch * height), true);
    if (!out || !DecodeRle(data.get(), size_t(dataBytes), four, width, height, bottomUp, out.get(),
                           size_t(pitch), table.count))
      return -1;
    SetPalette(&image->format, table);
    image->pitch = int(pitch);
    image->pixels = out.release();
    return 0;
  }

  const bool direct = h.compression == kRgb && (h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 24);
  const bool converted = (h.compression == kRgb || h.compression == kBitFields) &&
                         (h.bitCount == 1 || h.bitCount == 16 || h.bitCount == 32);
  if (!direct && !converted) return -1;
  if (rowSize * height > dataBytes) return -1;  // the rows are not all there

  if (converted) return ConvertTo24(h, table, masks, data.get(), size_t(rowSize), image);

  if (h.bitCount == 4) {
    const int64_t pitch = (int64_t(width) + 3) & ~int64_t(3);
    Block out(size_t(pitch * height), true);
    if (!out) return -1;
    for (int y = 0; y < height; ++y) {
      const unsigned char* src = data.get() + size_t(y) * size_t(rowSize);
      unsigned char* dst = out.get() + OutRow(y, height, bottomUp) * size_t(pitch);
      for (int x = 0; x < width; ++x) {
        unsigned index = x & 1 ? src[x / 2] & 15 : src[x / 2] >> 4;
        if (index >= table.count) return -1;
        dst[x] = uint8_t(index);
      }
    }
    SetPalette(&image->format, table);
    image->pitch = int(pitch);
    image->pixels = out.release();
    return 0;
  }

  // 8 and 24 bits: the file's rows, turned top-down.
  if (h.bitCount == 8 && !IndicesInTable(data.get(), size_t(rowSize), width, height, table.count))
    return -1;
  if (bottomUp) {
    Block out(size_t(rowSize * height));
    if (!out) return -1;
    for (int y = 0; y < height; ++y)
      std::memcpy(out.get() + OutRow(y, height, true) * size_t(rowSize),
                  data.get() + size_t(y) * size_t(rowSize), size_t(rowSize));
    image->pixels = out.release();
  } else {
    image->pixels = data.release();
  }
  if (h.bitCount == 8)
    SetPalette(&image->format, table);
  else
    MakeRgb24Format(&image->format);
  image->pitch = int(rowSize);
  return 0;
}

}  // namespace qr::image
