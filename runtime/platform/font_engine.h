// Fonts from the host: metrics and glyph bitmaps in the row layout the glyph cache reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qr::platform {

struct FontDescription {
  std::string face;  // CP932 face name; empty for the default Gothic face
  int height = 16;
  int weight = 400;
  bool italic = false;
  int characterSet = 128;  // Shift-JIS
  bool antialiased = false;
};

struct FontMetrics {
  int height = 0, ascent = 0, descent = 0, averageWidth = 0, maxWidth = 0;
};

struct GlyphBitmap {
  int blackBoxWidth = 0, blackBoxHeight = 0;
  int originX = 0, originY = 0;  // from the pen position to the box's top-left, y up
  int advance = 0;
  int pitch = 0;  // bytes per row: 1-bit rows padded to 4 bytes, or one byte per pixel (0..16)
  std::vector<uint8_t> bits;
};

using FontId = int;  // 0 is no font

class FontEngine {
 public:
  virtual ~FontEngine() = default;
  virtual FontId CreateFont(const FontDescription& description) = 0;
  virtual void DestroyFont(FontId font) = 0;
  virtual FontMetrics Metrics(FontId font) = 0;
  // Character code: a CP932 code (one or two bytes, lead byte high). levels: 2 or 17.
  virtual bool Glyph(FontId font, unsigned code, int levels, GlyphBitmap& out) = 0;
};

}  // namespace qr::platform
