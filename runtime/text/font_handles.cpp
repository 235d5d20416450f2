// Font handles: making a font with its host font object and its glyph cache, deleting it, and
// the calls that read a font's parameters.
#include <algorithm>
#include <cstring>

#include "core/main_window.h"
#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "platform/encoding.h"
#include "platform/platform.h"
#include "qr.h"
#include "text/font_record.h"

namespace qr::text {
namespace {

// Character set index -> the character set the host font is asked for.
constexpr int kCharacterSets[3] = {platform::character_set::kDefault, platform::character_set::kShiftJis,
                                   platform::character_set::kHangeul};

platform::FontEngine* Engine() { return platform::Current().fonts; }

// The kind's part of deleting a font; the table then frees the record.
void CleanupFont(core::HandleRecord* record) {
  auto* font = static_cast<FontRecord*>(record);
  if (font->osFont && Engine()) Engine()->DestroyFont(font->osFont);
  font->osFont = 0;
  FreeMemory(font->softPixels);
  font->softPixels = nullptr;
  // While recreateTexture is clear the cache graphic is alive; once its deletion set the flag,
  // its handle is stale and must not be used again.
  if (!font->recreateTexture && font->cacheGraphic >= 0) {
    SetGraphicDeletionFlag(font->cacheGraphic, nullptr);
    graphics::DeleteGraphicHandle(font->cacheGraphic);
  }
  if (font->edgeGraphic >= 0) graphics::DeleteGraphicHandle(font->edgeGraphic);
  font->cacheGraphic = font->edgeGraphic = -1;
  image::FreeImagePixels(&font->cacheImage);
  if (font->deletionFlag) *font->deletionFlag = 1;
}

// Copies a face name, cut at a character boundary to what the record holds.
void StoreFaceName(FontRecord& font, const char* name) {
  size_t length = 0, limit = kFaceNameBytes - 1;
  const auto* bytes = reinterpret_cast<const unsigned char*>(name ? name : "");
  while (bytes[length] && length < limit) {
    size_t step = platform::IsCp932LeadByte(bytes[length]) && bytes[length + 1] ? 2 : 1;
    if (length + step > limit) break;
    length += step;
  }
  std::memcpy(font.faceName, bytes, length);
  font.faceName[length] = 0;
}

platform::FontId MakeHostFont(const FontRecord& font) {
  platform::FontEngine* engine = Engine();
  if (!engine) return 0;
  platform::FontDescription d;
  d.height = font.size;
  d.weight = font.thickness * 100;
  d.italic = font.italic != 0;
  d.characterSet = kCharacterSets[font.charsetIndex];
  if (font.faceName[0]) {
    d.face = font.faceName;
    if (platform::FontId id = engine->CreateFont(d)) return id;
    d.characterSet = platform::character_set::kDefault;
    if (platform::FontId id = engine->CreateFont(d)) return id;
    d.characterSet = platform::character_set::kShiftJis;
    if (platform::FontId id = engine->CreateFont(d)) return id;
    WriteLog("指定のフォントの作成に失敗しました\n");
    return 0;
  }
  d.face = "ＭＳ ゴシック";
  if (platform::FontId id = engine->CreateFont(d)) return id;
  d.characterSet = platform::character_set::kDefault;
  d.italic = false;
  if (platform::FontId id = engine->CreateFont(d)) return id;
  d.face.clear();
  if (platform::FontId id = engine->CreateFont(d)) return id;
  WriteLog("フォントの作成に失敗しました\n");
  return 0;
}

int MakeTextureCache(FontRecord& font) {
  font.cacheWidth = font.cacheHeight = 512;
  const int largest = std::max(8, graphics::Device().maxTextureSize);
  const int halves = font.type & kTypeEdged ? 2 : 1;
  auto capacityOf = [&] { return (font.cacheHeight / font.cellWidth) * (font.cacheWidth / font.cellWidth); };
  font.capacity = capacityOf();
  // Grow until ten glyphs fit; a cache the device cannot hold is no cache at all.
  while (font.capacity < 10 && font.cacheWidth * halves <= largest && font.cacheHeight <= largest) {
    if (font.cacheWidth > font.cacheHeight)
      font.cacheHeight *= 2;
    else
      font.cacheWidth *= 2;
    font.capacity = capacityOf();
  }
  font.capacity = std::min(font.capacity, kMaxGlyphSlots);
  font.cellsPerColumn = font.cacheHeight / font.cellWidth;
  font.recreateTexture = 1;
  bool fits = font.capacity >= 1 && font.cacheWidth * halves <= largest && font.cacheHeight <= largest;
  return fits ? CreateCacheTexture(font) : -1;
}

int MakeCacheImage(FontRecord& font) {
  graphics::ImageInfo info{};
  info.alpha = font.type & kTypeAntialiased ? 1 : 0;
  info.transparent = info.alpha ? 0 : 1;
  info.colourBits = 16;
  image::ColorFormat format;
  graphics::TextureColourFormat(graphics::ChooseTextureFormat(info), &format);
  int width = font.type & kTypeEdged ? 2 * font.cacheWidth : font.cacheWidth;
  if (image::AllocImagePixels(width, font.cacheHeight, &format, &font.cacheImage) != 0)
    return WriteLog("文字キャッシュ基本イメージ用のメモリの確保に失敗しました\n");
  std::memset(font.cacheImage.pixels, 0, size_t(font.cacheImage.pitch) * size_t(font.cacheImage.height));
  return 0;
}

int MakeSoftwareCache(FontRecord& font) {
  font.softBits = font.type == 0 ? 1 : 8;
  long long cell = (long long)font.cellWidth * font.cellWidth;
  font.capacity = int(std::clamp(0x50000LL / cell, 20LL, (long long)kMaxGlyphSlots));
  font.cacheWidth = font.cellWidth;
  font.cacheHeight = font.capacity * font.cellWidth;
  font.cellsPerColumn = font.capacity;
  font.softPitch = (font.cellWidth * font.softBits + 7) / 8;
  long long bytes = (long long)font.softPitch * font.cacheHeight;
  font.softPixels = bytes < (1LL << 31) ? static_cast<uint8_t*>(AllocZeroMemory(size_t(bytes), "", 0)) : nullptr;
  if (!font.softPixels) return WriteLog("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
  return 0;
}

}  // namespace

core::TypedHandleTable<FontRecord>& FontTable() {
  // The table logs nothing itself: a full table is reported with its limit by the caller.
  static core::TypedHandleTable<FontRecord>* table = [] {
    auto* t = new core::TypedHandleTable<FontRecord>(core::HandleKind::Font, kFontCapacity,
                                                     core::HandleTable::SlotPolicy::FirstFree,
                                                     core::HandleTable::Messages{});
    t->SetCleanup(CleanupFont);
    return t;
  }();
  return *table;
}

int CreateFontHandle(const char* faceName, int size, int thickness, int type, int charsetIndex,
                     int edgeSize, int italic, int index, int check) {
  if (core::MainWindow().destroyed) return -1;
  if (size == -1) size = 16;
  if (thickness == -1) thickness = 6;
  if (type == -1) type = 0;
  if (edgeSize == -1) edgeSize = 1;
  if (charsetIndex == -1) charsetIndex = 1;  // the OEM code page here is never 949
  if (type < 0 || type > 3 || charsetIndex < 0 || charsetIndex > 2 || edgeSize < 0 || index < -1 || index >= kFontCapacity || check < -1 || check >= core::kCheckNumbers)
    return -1;
  if (edgeSize > kMaxEdgeSize) return WriteLogFormat("縁の太さ %d は扱える太さ %d を超えています", edgeSize, kMaxEdgeSize);
  if (edgeSize > 1) type |= kTypeEdged;

  // A host without fonts: nothing to make, and no record to build first.
  if (!Engine()) return WriteLog(faceName && *faceName ? "指定のフォントの作成に失敗しました\n" : "フォントの作成に失敗しました\n");
  auto& table = FontTable();
  if (index == -1 && table.LiveCount() >= kFontCapacity)
    return WriteLogFormat("作成できるフォントハンドル数 %d の限界を超えました", kFontCapacity);
  if (index >= 0 && table.At(index)) return -1;
  int handle = table.Add(index, check);
  if (handle < 0) return WriteLog("フォント管理用メモリ領域の確保に失敗しました\n");
  FontRecord& font = *GetFont(handle);
  font.cacheGraphic = font.edgeGraphic = -1;
  auto fail = [handle] {
    FontTable().Delete(handle);
    return -1;
  };

  if (graphics::Screen().colourBits == 8) type &= ~kTypeAntialiased;
  StoreFaceName(font, faceName);
  font.size = size;
  font.thickness = thickness;
  font.type = type;
  font.edgeSize = edgeSize;
  font.italic = italic;
  font.charsetIndex = charsetIndex;
  font.useTexture = graphics::Device().hardware ? 1 : 0;

  font.osFont = MakeHostFont(font);
  if (!font.osFont) return fail();
  platform::FontMetrics metrics;
  if (!Engine()->Metrics(font.osFont, metrics)) return WriteLog("ＤＣの取得に失敗しました\n"), fail();
  font.ascent = metrics.ascent;
  const bool edged = type & kTypeEdged;
  int cellWidth = metrics.maxCharWidth + 2 + (edged ? 2 * edgeSize : 0);
  font.cellWidth = (cellWidth + 7) / 8 * 8;
  font.cellHeight = metrics.height + (edged ? 2 * edgeSize : 0);
  if (font.cellHeight & 1) ++font.cellHeight;
  if (font.cellWidth < font.cellHeight) font.cellWidth = font.cellHeight;

  if (font.useTexture) {
    if (MakeTextureCache(font) != 0) {
      WriteLog("テクスチャ文字キャッシュの作成に失敗しました\n");
      font.useTexture = 0;
    } else if (MakeCacheImage(font) != 0) {
      return fail();
    }
  }
  if (!font.useTexture && MakeSoftwareCache(font) != 0) return fail();

  ClearGlyphCache(font);
  font.deletionFlag = nullptr;
  return handle;
}

}  // namespace qr::text

using namespace qr::text;

int CreateFontToHandle(const char* faceName, int size, int thickness, int type, int charsetIndex,
                       int edgeSize, int italic, int index, int check) {
  return CreateFontHandle(faceName, size, thickness, type, charsetIndex, edgeSize, italic, index, check);
}

int DeleteFontHandle(int handle) { return FontTable().Delete(handle); }

int SetFontDeletionFlag(int handle, int* flag) {
  FontRecord* font = GetFont(handle);
  if (!font) return -1;
  font->deletionFlag = flag;
  if (flag) *flag = 0;
  return 0;
}

int GetFontSize(int handle) {
  FontRecord* font = GetFont(handle);
  return font ? font->size : -1;
}

int GetFontParameters(int handle, char* faceName, int* size, int* thickness) {
  FontRecord* font = GetFont(handle);
  if (!font) return -1;
  if (faceName) std::strcpy(faceName, font->faceName);
  if (size) *size = font->size;
  if (thickness) *thickness = font->thickness;
  return 0;
}
