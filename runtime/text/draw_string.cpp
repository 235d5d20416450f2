// Drawing strings: each glyph is a rectangle of its font's cache texture, tinted with the text
// colour; edged fonts draw the edge first, so the body is always on top.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/lifecycle.h"
#include "core/main_window.h"
#include "graphics/draw_graphic.h"
#include "graphics/draw_settings.h"
#include "graphics/device_start.h"
#include "platform/encoding.h"
#include "qr.h"
#include "text/font_record.h"

namespace qr::text {
namespace {

constexpr int kFormatBuffer = 2048;

// A colour value of the screen as a brightness word, scaled by the brightness in force.
uint32_t Tint(int colour, uint32_t brightness) {
  int r = 0, g = 0, b = 0;
  SplitColor(colour, &r, &g, &b);
  r = r * int((brightness >> 16) & 0xFF) / 255;
  g = g * int((brightness >> 8) & 0xFF) / 255;
  b = b * int(brightness & 0xFF) / 255;
  return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

void SetBrightnessWord(uint32_t value) {
  graphics::DrawSettings& s = graphics::Draw();
  if (s.brightness == value) return;
  s.brightness = value;
  graphics::UpdateDiffuse();
}

// The cache slot of a character, rendering it alone when the batch before had to evict it.
const GlyphSlot* SlotFor(FontRecord& font, unsigned code) {
  GlyphMapEntry& entry = font.glyphMap[code & 0xFFFF];
  if (!entry.cached && RenderGlyphs(font, &code, 1) != 0) return nullptr;
  return entry.cached ? entry.slot : nullptr;
}

int DrawFromTexture(FontRecord& font, int x, int y, const unsigned char* text, int length, int colour,
                    int edgeColour) {
  graphics::DrawSettings& s = graphics::Draw();
  const uint32_t brightness = s.brightness;
  const int blendGraphic = s.blendGraphic;
  const uint32_t textTint = Tint(colour, brightness), edgeTint = Tint(edgeColour, brightness);
  s.blendGraphic = -1;
  auto restore = [&] {
    SetBrightnessWord(brightness);
    s.blendGraphic = blendGraphic;
  };

  int result = 0;
  if (PrepareGlyphs(font, text, length) < 0) {
    result = WriteLog("テキストキャッシュの作成に失敗しました");
  } else {
    graphics::GraphicRecord* body = graphics::GetGraphic(font.cacheGraphic);
    graphics::GraphicRecord* edge = font.type & kTypeEdged ? graphics::GetGraphic(font.edgeGraphic) : nullptr;
    double pen = 0;
    for (int i = 0; i < length && body;) {
      Character ch = ReadCharacter(font, text, i, length);
      i += ch.bytes;
      const GlyphSlot* slot = SlotFor(font, ch.code);
      if (!slot) {
        result = WriteLog("テキストキャッシュの作成に失敗しました");
        break;
      }
      if (!IsSpace(ch.code) && (slot->width || slot->height)) {
        int srcX = CellLeft(font, slot->position), srcY = CellTop(font, slot->position);
        int destX = x + int(pen) + slot->originX, destY = y + slot->offsetY;
        if (edge) {
          SetBrightnessWord(edgeTint);
          graphics::DrawGraphicPart(edge, destX, destY, srcX, srcY, slot->width, slot->height, true);
        }
        SetBrightnessWord(textTint);
        graphics::DrawGraphicPart(body, destX, destY, srcX, srcY, slot->width, slot->height, true);
      }
      pen += slot->advance + font.spacing;
    }
  }
  restore();
  return result;
}

int StringLength(const char* text, int length) {
  if (!text) return 0;
  return length < 0 ? int(std::strlen(text)) : length;
}

}  // namespace

int DrawString(int x, int y, const char* text, int length, int colour, int handle, int edgeColour) {
  length = StringLength(text, length);
  if (!qr::core::Started() || length == 0 || graphics::Draw().clipEmpty) return 0;
  if (!GetFont(handle)) return WriteLog("フォントハンドル値が異常です\n");
  core::WaitWhileInactive();
  FontRecord* font = GetFont(handle);
  if (!font) return WriteLog("フォントハンドル値が異常です\n");

  const graphics::DrawSettings& s = graphics::Draw();
  bool subtract = s.blendMode == 3;
  if (((subtract && font->useTexture) || s.drawTarget == graphics::kFrontScreen) && x >= s.clip.right) return 0;
  if (!font->useTexture) return WriteLog("メモリイメージへの文字の描画には対応していません\n");
  if (CreateCacheTexture(*font) != 0) return WriteLog("テキストキャッシュの作成に失敗しました");

  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  if (subtract && !graphics::Device().blendOpSupported) {
    int width = 0, height = 0;
    MeasureString(handle, text, length, &width, &height);
    graphics::SubtractEmulation emulation(x, y, x + width, y + height);
    return DrawFromTexture(*font, x, y, bytes, length, colour, edgeColour);
  }
  return DrawFromTexture(*font, x, y, bytes, length, colour, edgeColour);
}

int DrawWithDefaultFont(int x, int y, const char* text, int length, int colour, int edgeColour) {
  RefreshDefaultFont();
  return DrawString(x, y, text, length, colour, DefaultFontHandle(), edgeColour);
}

// Cuts a formatted text that filled the buffer at a character boundary: a lead byte whose trail
// did not fit goes too.
int CutAtCharacter(const char* text, int length) {
  int i = 0;
  while (i < length) {
    if (platform::IsCp932LeadByte(static_cast<unsigned char>(text[i]))) {
      if (i + 1 >= length) break;
      i += 2;
    } else {
      ++i;
    }
  }
  return i;
}

}  // namespace qr::text

using namespace qr::text;

int DrawStringWithFont(int x, int y, const char* text, int colour, int fontHandle, int edgeColour) {
  return DrawString(x, y, text, -1, colour, fontHandle, edgeColour);
}

int DrawTextLine(int x, int y, const char* text, int colour, int edgeColour) {
  return DrawWithDefaultFont(x, y, text, -1, colour, edgeColour);
}

int DrawTextFormat(int x, int y, int colour, const char* format, ...) {
  if (!format) return 0;
  char buffer[kFormatBuffer];
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  if (written < 0) return 0;
  int length = written;
  if (written >= kFormatBuffer) length = CutAtCharacter(buffer, kFormatBuffer - 1);
  return DrawWithDefaultFont(x, y, buffer, length, colour, 0);
}

int MeasureString(int fontHandle, const char* text, int length, int* width, int* height) {
  FontRecord* font = GetFont(fontHandle);
  if (!font) return -1;
  length = StringLength(text, length);
  if (font->useTexture && CreateCacheTexture(*font) != 0) return -1;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  double pen = 0;
  if (length > 0 && PrepareGlyphs(*font, bytes, length) < 0) return -1;
  for (int i = 0; i < length;) {
    Character ch = ReadCharacter(*font, bytes, i, length);
    i += ch.bytes;
    GlyphMapEntry& entry = font->glyphMap[ch.code];
    if (!entry.cached && RenderGlyphs(*font, &ch.code, 1) != 0) return -1;
    pen += entry.slot->advance + font->spacing;
  }
  if (width) *width = int(pen);
  if (height) *height = font->cellHeight;
  return 0;
}
