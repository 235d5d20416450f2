// Fonts as handles: each font record holds the host font object and its glyph cache, a grid of
// square cells in a texture (or in main memory) filled with glyphs as strings need them.
#pragma once

#include <cstdint>

#include "core/handle_table.h"
#include "image/base_image.h"
#include "platform/font_engine.h"

namespace qr::text {

constexpr int kFontCapacity = 40;
constexpr int kMaxGlyphSlots = 2024;
constexpr int kFaceNameBytes = 256;
constexpr int kMaxEdgeSize = 255;  // a wider edge could never fit a cache cell

// Bits of a font's type.
constexpr int kTypeEdged = 1;
constexpr int kTypeAntialiased = 2;

struct GlyphMapEntry;

struct GlyphSlot {
  int16_t used;
  int16_t originX;  // black box from the pen position
  int16_t offsetY;  // black box from the top of the line
  int16_t advance;
  int32_t position;  // fixed cell number
  int16_t width, height;  // black box with the edge; 0 for spaces
  GlyphMapEntry* mapEntry;
};

struct GlyphMapEntry {
  int32_t cached;
  GlyphSlot* slot;
};

struct FontRecord : core::HandleRecord {
  int* deletionFlag;
  GlyphSlot slots[kMaxGlyphSlots + 1];
  GlyphMapEntry glyphMap[65536];  // by character code
  int nextSlot;
  int capacity;
  uint8_t* softPixels;
  int softPitch, softBits;
  char faceName[kFaceNameBytes];  // empty when the default face was used
  int thickness, size, italic, edgeSize, type, charsetIndex, spacing;
  int cellWidth, cellHeight;
  platform::FontId osFont;
  int ascent;  // of osFont, for the glyphs' vertical offsets
  int cacheWidth, cacheHeight;  // one half of the cache, and its height
  int cellsPerColumn;
  int cacheGraphic, edgeGraphic;  // -1 when absent
  int recreateTexture;
  image::BaseImage cacheImage;
  int useTexture;
};

core::TypedHandleTable<FontRecord>& FontTable();
inline FontRecord* GetFont(int handle) { return FontTable().Get(handle); }

// A character of a string: its code (lead + 256 x trail for two bytes) and its length in bytes.
struct Character {
  unsigned code;
  int bytes;
};
// The character at text[i] (i < length), by the font's lead-byte rule. A lead byte at the end
// of the text is a character of its own.
Character ReadCharacter(const FontRecord& font, const unsigned char* text, int i, int length);
bool IsSpace(unsigned code);  // the space and the full-width space draw nothing

// Cell geometry and cache.
int CreateCacheTexture(FontRecord& font);  // only when recreateTexture is set
void ClearGlyphCache(FontRecord& font);
int CellLeft(const FontRecord& font, int position);
int CellTop(const FontRecord& font, int position);
// Renders the string's characters that are not cached, in one batch; returns the number of
// characters in the string.
int PrepareGlyphs(FontRecord& font, const unsigned char* text, int length);
// Renders these codes into the next slots (evicting what was there). -1 when the cache cannot
// take them.
int RenderGlyphs(FontRecord& font, const unsigned* codes, int count);

// The font system (the default font and every handle).
void InitFontSystem();
void ResetFonts();
void EndFontSystem();
void RestoreFontHandles();
int RefreshDefaultFont();
int DefaultFontHandle();
// What a screen mode change keeps of the default font: its size and thickness.
struct DefaultFontSize {
  bool valid;
  int size, thickness;
};
DefaultFontSize RememberDefaultFontSize();
void RestoreDefaultFontSize(const DefaultFontSize& remembered);

int CreateFontHandle(const char* faceName, int size, int thickness, int type, int charsetIndex,
                     int edgeSize, int italic, int index, int check);

}  // namespace qr::text
