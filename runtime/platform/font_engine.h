// Fonts from the host: a font object made from a face name and a cell height, its text metrics,
// and glyph bitmaps in the row layout the glyph cache reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qr::platform {

// Character sets a font can be asked for; the values are the ones Windows programs pass.
namespace character_set {
constexpr int kDefault = 1;
constexpr int kShiftJis = 128;
constexpr int kHangeul = 129;
}  // namespace character_set

struct FontDescription {
  std::string face;   // CP932 bytes; empty: no face asked for (the engine's default face)
  int height = 16;    // cell height in pixels: ascent + descent
  int weight = 400;   // 100 thin .. 900 black
  bool italic = false;
  int characterSet = character_set::kShiftJis;
};

struct FontMetrics {
  int height = 0;        // ascent + descent
  int ascent = 0;        // baseline from the top of the cell
  int descent = 0;
  int averageWidth = 0;
  int maxCharWidth = 0;
};

enum class GlyphKind {
  Mono,    // 1 bit per pixel, the leftmost pixel in the high bit
  Gray17,  // one byte per pixel, coverage 0..16
};

struct GlyphBitmap {
  int blackBoxWidth = 0, blackBoxHeight = 0;  // 0 x 0 for a glyph that draws nothing
  int originX = 0, originY = 0;  // the box's top-left from the pen on the baseline, y up
  int advance = 0;               // to the next pen position, in whole pixels
  int pitch = 0;                 // bytes per row, a multiple of 4
  std::vector<uint8_t> bits;     // pitch x blackBoxHeight bytes, top row first
};

using FontId = int;  // 0 is no font

class FontEngine {
 public:
  virtual ~FontEngine() = default;
  // 0 when no face can serve the description.
  virtual FontId CreateFont(const FontDescription& description) = 0;
  virtual void DestroyFont(FontId font) = 0;
  virtual bool Metrics(FontId font, FontMetrics& out) = 0;
  // code: the character in the font's character set, lead byte high for two-byte characters
  // (0x8140 is the Shift-JIS full-width space). A code the face has no glyph for, or that is no
  // character of the set, gives an empty glyph with the face's default advance. False only for
  // a font that does not exist.
  virtual bool Glyph(FontId font, unsigned code, GlyphKind kind, GlyphBitmap& out) = 0;
  // The file and family the font was made from, for reports and tools.
  virtual std::string FaceDescription(FontId font) = 0;
};

}  // namespace qr::platform
