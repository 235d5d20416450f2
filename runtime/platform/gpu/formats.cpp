#include "platform/gpu/formats.h"

#include <cstring>

namespace qr::platform::gpu {

FormatInfo Info(TextureFormat format) {
  switch (format) {
    case TextureFormat::R5G6B5: return {2, 0, false, false, true};
    case TextureFormat::X1R5G5B5: return {2, 0, false, false, true};
    case TextureFormat::X8R8G8B8: return {4, 0, false, false, true};
    case TextureFormat::A4R4G4B4: return {2, 0, true, false, true};
    case TextureFormat::A1R5G5B5: return {2, 0, true, false, true};
    case TextureFormat::A8R8G8B8: return {4, 0, true, false, true};
    case TextureFormat::DXT1: return {0, 8, true, false, false};
    case TextureFormat::DXT2:
    case TextureFormat::DXT3:
    case TextureFormat::DXT4:
    case TextureFormat::DXT5: return {0, 16, true, false, false};
    case TextureFormat::D16: return {2, 0, false, true, false};
    case TextureFormat::D24X8:
    case TextureFormat::D32: return {4, 0, false, true, false};
    case TextureFormat::Unknown: break;
  }
  return {};
}

bool IsDxt(TextureFormat format) { return Info(format).blockBytes != 0; }

const char* FormatName(TextureFormat format) {
  switch (format) {
    case TextureFormat::R5G6B5: return "R5G6B5";
    case TextureFormat::X1R5G5B5: return "X1R5G5B5";
    case TextureFormat::X8R8G8B8: return "X8R8G8B8";
    case TextureFormat::A4R4G4B4: return "A4R4G4B4";
    case TextureFormat::A1R5G5B5: return "A1R5G5B5";
    case TextureFormat::A8R8G8B8: return "A8R8G8B8";
    case TextureFormat::DXT1: return "DXT1";
    case TextureFormat::DXT2: return "DXT2";
    case TextureFormat::DXT3: return "DXT3";
    case TextureFormat::DXT4: return "DXT4";
    case TextureFormat::DXT5: return "DXT5";
    case TextureFormat::D16: return "D16";
    case TextureFormat::D24X8: return "D24X8";
    case TextureFormat::D32: return "D32";
    case TextureFormat::Unknown: break;
  }
  return "Unknown";
}

size_t RowPitch(TextureFormat format, int width) {
  FormatInfo info = Info(format);
  if (info.blockBytes) return size_t((width + 3) / 4) * size_t(info.blockBytes);
  return size_t(width) * size_t(info.bytesPerPixel);
}

int RowCount(TextureFormat format, int height) {
  return IsDxt(format) ? (height + 3) / 4 : height;
}

namespace {

inline uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }
inline uint32_t Widen6(uint32_t v) { return (v << 2) | (v >> 4); }

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

inline uint32_t Rgb565ToArgb(uint32_t p) {
  return 0xFF000000u | Widen5((p >> 11) & 31) << 16 | Widen6((p >> 5) & 63) << 8 | Widen5(p & 31);
}

}  // namespace

uint32_t LoadPixel(TextureFormat format, const uint8_t* pixel) {
  switch (format) {
    case TextureFormat::R5G6B5: return Rgb565ToArgb(Load16(pixel));
    case TextureFormat::X1R5G5B5:
    case TextureFormat::A1R5G5B5: {
      uint32_t p = Load16(pixel);
      uint32_t a = format == TextureFormat::X1R5G5B5 || (p & 0x8000) ? 0xFF000000u : 0;
      return a | Widen5((p >> 10) & 31) << 16 | Widen5((p >> 5) & 31) << 8 | Widen5(p & 31);
    }
    case TextureFormat::A4R4G4B4: {
      uint32_t p = Load16(pixel);
      return ((p >> 12) & 15) * 17u << 24 | ((p >> 8) & 15) * 17u << 16 |
             ((p >> 4) & 15) * 17u << 8 | (p & 15) * 17u;
    }
    case TextureFormat::X8R8G8B8: {
      uint32_t v;
      std::memcpy(&v, pixel, 4);
      return v | 0xFF000000u;
    }
    case TextureFormat::A8R8G8B8: {
      uint32_t v;
      std::memcpy(&v, pixel, 4);
      return v;
    }
    default: return 0;
  }
}

void StorePixel(TextureFormat format, uint8_t* pixel, uint32_t argb) {
  uint32_t a = argb >> 24, r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
  switch (format) {
    case TextureFormat::R5G6B5: Store16(pixel, uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)); break;
    case TextureFormat::X1R5G5B5:
      Store16(pixel, uint16_t(0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3));
      break;
    case TextureFormat::A1R5G5B5:
      Store16(pixel, uint16_t((a >= 128 ? 0x8000 : 0) | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3));
      break;
    case TextureFormat::A4R4G4B4:
      Store16(pixel, uint16_t((a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4));
      break;
    case TextureFormat::X8R8G8B8:
    case TextureFormat::A8R8G8B8: std::memcpy(pixel, &argb, 4); break;
    default: break;
  }
}

void RowToArgb(TextureFormat format, const uint8_t* source, uint32_t* destination, int count) {
  if (format == TextureFormat::A8R8G8B8) {
    std::memcpy(destination, source, size_t(count) * 4);
    return;
  }
  if (format == TextureFormat::X8R8G8B8) {
    std::memcpy(destination, source, size_t(count) * 4);
    for (int i = 0; i < count; ++i) destination[i] |= 0xFF000000u;
    return;
  }
  int step = Info(format).bytesPerPixel;
  for (int i = 0; i < count; ++i) destination[i] = LoadPixel(format, source + size_t(i) * step);
}

void RowFromArgb(TextureFormat format, const uint32_t* source, uint8_t* destination, int count) {
  if (format == TextureFormat::A8R8G8B8 || format == TextureFormat::X8R8G8B8) {
    std::memcpy(destination, source, size_t(count) * 4);
    return;
  }
  int step = Info(format).bytesPerPixel;
  for (int i = 0; i < count; ++i) StorePixel(format, destination + size_t(i) * step, source[i]);
}

namespace {

// The four colours of a DXT colour block; with allowTransparent (DXT1), c0 <= c1 selects the
// three-colour mode whose fourth entry is transparent black.
void BlockPalette(const uint8_t* block, bool allowTransparent, uint32_t palette[4]) {
  uint32_t c0 = Load16(block), c1 = Load16(block + 2);
  uint32_t a = Rgb565ToArgb(c0), b = Rgb565ToArgb(c1);
  palette[0] = a;
  palette[1] = b;
  auto mix = [](uint32_t x, uint32_t y, int wx, int wy, int div) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
      uint32_t cx = (x >> shift) & 255, cy = (y >> shift) & 255;
      out |= ((cx * wx + cy * wy) / div) << shift;
    }
    return out;
  };
  if (c0 > c1 || !allowTransparent) {
    palette[2] = mix(a, b, 2, 1, 3);
    palette[3] = mix(a, b, 1, 2, 3);
  } else {
    palette[2] = mix(a, b, 1, 1, 2);
    palette[3] = 0;
  }
}

}  // namespace

void DecodeDxt(TextureFormat format, const uint8_t* blocks, size_t pitch, int width, int height,
               uint32_t* destination) {
  const int blockBytes = Info(format).blockBytes;
  const bool dxt1 = format == TextureFormat::DXT1;
  const bool explicitAlpha = format == TextureFormat::DXT2 || format == TextureFormat::DXT3;
  for (int by = 0; by < (height + 3) / 4; ++by) {
    for (int bx = 0; bx < (width + 3) / 4; ++bx) {
      const uint8_t* block = blocks + size_t(by) * pitch + size_t(bx) * size_t(blockBytes);
      const uint8_t* colourBlock = dxt1 ? block : block + 8;
      uint32_t palette[4];
      BlockPalette(colourBlock, dxt1, palette);
      uint32_t indices;
      std::memcpy(&indices, colourBlock + 4, 4);
      uint32_t alphaPalette[8] = {};
      uint64_t alphaBits = 0;
      if (!dxt1 && !explicitAlpha) {
        uint32_t a0 = block[0], a1 = block[1];
        alphaPalette[0] = a0;
        alphaPalette[1] = a1;
        if (a0 > a1) {
          for (int i = 1; i < 7; ++i) alphaPalette[i + 1] = ((7 - i) * a0 + i * a1) / 7;
        } else {
          for (int i = 1; i < 5; ++i) alphaPalette[i + 1] = ((5 - i) * a0 + i * a1) / 5;
          alphaPalette[6] = 0;
          alphaPalette[7] = 255;
        }
        for (int i = 0; i < 6; ++i) alphaBits |= uint64_t(block[2 + i]) << (8 * i);
      }
      for (int py = 0; py < 4; ++py) {
        int y = by * 4 + py;
        if (y >= height) break;
        for (int px = 0; px < 4; ++px) {
          int x = bx * 4 + px;
          if (x >= width) break;
          int n = py * 4 + px;
          uint32_t colour = palette[(indices >> (2 * n)) & 3];
          if (!dxt1) {
            uint32_t alpha;
            if (explicitAlpha) {
              alpha = ((block[n / 2] >> ((n & 1) * 4)) & 15) * 17u;
            } else {
              alpha = alphaPalette[(alphaBits >> (3 * n)) & 7];
            }
            colour = (colour & 0x00FFFFFFu) | alpha << 24;
          }
          destination[size_t(y) * size_t(width) + size_t(x)] = colour;
        }
      }
    }
  }
}

}  // namespace qr::platform::gpu
