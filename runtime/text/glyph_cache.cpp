// The glyph cache of a font: cells in a texture (or in main memory) filled in the order glyphs
// are first needed, reused cyclically, oldest filled first.
#include <cstring>
#include <vector>

#include "graphics/draw_settings.h"
#include "graphics/graphic_handles.h"
#include "platform/encoding.h"
#include "platform/platform.h"
#include "qr.h"
#include "text/font_record.h"
#include "text/glyph_raster.h"

namespace qr::text {

Character ReadCharacter(const FontRecord& font, const unsigned char* text, int i, int length) {
  unsigned char c = text[i];
  bool lead = font.charsetIndex == 2 ? c >= 0x80 : platform::IsCp932LeadByte(c);
  if (lead && i + 1 < length) return Character{c + 256u * text[i + 1], 2};
  return Character{c, 1};
}

bool IsSpace(unsigned code) { return code == 0x20 || code == 0x81 + 256u * 0x40; }

int CellLeft(const FontRecord& font, int position) { return position / font.cellsPerColumn * font.cellWidth; }
int CellTop(const FontRecord& font, int position) { return position % font.cellsPerColumn * font.cellWidth; }

void ClearGlyphCache(FontRecord& font) {
  std::memset(font.glyphMap, 0, sizeof font.glyphMap);
  std::memset(font.slots, 0, sizeof font.slots);
  for (int i = 0; i < font.capacity; ++i) font.slots[i].position = i;
  font.nextSlot = 0;
}

int CreateCacheTexture(FontRecord& font) {
  if (!font.recreateTexture) return 0;
  font.recreateTexture = 0;
  const bool edged = font.type & kTypeEdged, antialiased = font.type & kTypeAntialiased;
  // A derived edge graphic can outlive a cache graphic that was deleted on its own.
  if (font.edgeGraphic >= 0) graphics::DeleteGraphicHandle(font.edgeGraphic);
  font.cacheGraphic = font.edgeGraphic = -1;

  graphics::CreationSettings saved = graphics::Creation();
  graphics::CreationSettings& c = graphics::Creation();
  c.colourDepth = 16;
  c.makeDrawable = false;
  c.emptyWithAlpha = antialiased;
  c.useTransparentColour = !antialiased;
  font.cacheGraphic = graphics::CreateEmptyGraphicHandle(edged ? 2 * font.cacheWidth : font.cacheWidth, font.cacheHeight, false);
  if (font.cacheGraphic >= 0 && edged) {
    font.edgeGraphic = graphics::DeriveGraphic(font.cacheWidth, 0, font.cacheWidth, font.cacheHeight, font.cacheGraphic);
    if (font.edgeGraphic < 0) {
      graphics::DeleteGraphicHandle(font.cacheGraphic);
      font.cacheGraphic = -1;
    }
  }
  graphics::Creation() = saved;
  if (font.cacheGraphic < 0) {
    font.recreateTexture = 1;
    return -1;
  }
  // Losing the texture (the graphic is deleted with every graphic) sets the flag again.
  SetGraphicDeletionFlag(font.cacheGraphic, &font.recreateTexture);
  FillGraphic(font.cacheGraphic, 255, 255, 255, 0);
  ClearGlyphCache(font);
  return 0;
}

int PrepareGlyphs(FontRecord& font, const unsigned char* text, int length) {
  // Each new code once, in order of first appearance, at most a cache's worth.
  std::vector<unsigned> codes;
  std::vector<uint8_t> listed;
  int characters = 0;
  for (int i = 0; i < length; ++characters) {
    Character ch = ReadCharacter(font, text, i, length);
    i += ch.bytes;
    if (font.glyphMap[ch.code].cached || int(codes.size()) >= font.capacity) continue;
    if (listed.empty()) listed.assign(65536, 0);
    if (listed[ch.code]) continue;
    listed[ch.code] = 1;
    codes.push_back(ch.code);
  }
  if (!codes.empty() && RenderGlyphs(font, codes.data(), int(codes.size())) != 0) return -1;
  return characters;
}

namespace {

// The code as the host font engine takes it: lead byte high.
unsigned EngineCode(unsigned code) { return code > 0xFF ? (code & 0xFF) << 8 | code >> 8 : code; }

void ClearCell(FontRecord& font, const GlyphSlot& slot) {
  int left = CellLeft(font, slot.position), top = CellTop(font, slot.position);
  if (font.useTexture) {
    image::ClearImageRect(&font.cacheImage, left, top, font.cellWidth, font.cellWidth);
    if (font.type & kTypeEdged)
      image::ClearImageRect(&font.cacheImage, left + font.cacheWidth, top, font.cellWidth, font.cellWidth);
  } else {
    std::memset(font.softPixels + size_t(top) * size_t(font.softPitch), 0,
                size_t(font.softPitch) * size_t(font.cellWidth));
  }
}

void UploadCell(FontRecord& font, const GlyphSlot& slot) {
  int left = CellLeft(font, slot.position), top = CellTop(font, slot.position);
  auto upload = [&](int x) {
    graphics::TransferRect r{x, top, x + font.cellWidth, top + font.cellWidth};
    graphics::TransferImageToGraphic(font.cacheGraphic, &font.cacheImage, nullptr, r, x, top, 0, nullptr);
  };
  upload(left);
  if (font.type & kTypeEdged) upload(left + font.cacheWidth);
}

}  // namespace

int RenderGlyphs(FontRecord& font, const unsigned* codes, int count) {
  platform::FontEngine* engine = platform::Current().fonts;
  if (!engine || font.capacity <= 0) return -1;
  if (font.useTexture && font.cacheGraphic < 0) return -1;
  const bool edged = font.type & kTypeEdged;
  const int e = edged ? font.edgeSize : 0;
  const auto kind = font.type & kTypeAntialiased ? platform::GlyphKind::Gray17 : platform::GlyphKind::Mono;
  const CellPlacement place{font.type, font.edgeSize, font.cellWidth};
  platform::GlyphBitmap glyph;

  for (int n = 0; n < count; ++n) {
    unsigned code = codes[n] & 0xFFFF;
    GlyphSlot& slot = font.slots[font.nextSlot];
    if (slot.used) {
      slot.mapEntry->cached = 0;
      slot.mapEntry->slot = nullptr;
      slot.used = 0;
    }
    GlyphMapEntry& entry = font.glyphMap[code];
    entry.cached = 1;
    entry.slot = &slot;
    slot.mapEntry = &entry;
    slot.used = 1;
    ClearCell(font, slot);

    if (!engine->Glyph(font.osFont, EngineCode(code), kind, glyph)) FatalError("GetGlyphOutline 関数が失敗しました");
    slot.advance = int16_t(glyph.advance + 2 * e);
    if (IsSpace(code) || glyph.blackBoxWidth <= 0 || glyph.blackBoxHeight <= 0) {
      slot.originX = slot.offsetY = 0;
      slot.width = slot.height = 0;
    } else {
      slot.originX = int16_t(glyph.originX);
      slot.offsetY = int16_t(font.ascent - glyph.originY);
      int room = font.cellWidth - 2 * e;
      slot.width = int16_t(std::min(glyph.blackBoxWidth, room) + 2 * e);
      slot.height = int16_t(std::min(glyph.blackBoxHeight, room) + 2 * e);
      if (font.useTexture) {
        WriteTextureCell(glyph, place, font.cacheImage, CellLeft(font, slot.position), CellTop(font, slot.position),
                         font.cacheWidth);
      } else {
        WriteSoftwareCell(glyph, place, font.softPixels + size_t(CellTop(font, slot.position)) * size_t(font.softPitch),
                          font.softPitch);
      }
    }
    if (font.useTexture) UploadCell(font, slot);
    if (++font.nextSlot >= font.capacity) font.nextSlot = 0;
  }
  return 0;
}

}  // namespace qr::text
