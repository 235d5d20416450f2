// Graphic handles: their storage in textures, draw tiles, derived cells, deletion, and the
// release and re-creation of every texture around a lost device.
#include "graphics/graphic_handles.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/main_window.h"
#include "graphics/draw_state.h"
#include "graphics/device_start.h"
#include "graphics/screen_settings.h"
#include "graphics/draw_settings.h"
#include "qr.h"

namespace qr::graphics {

using platform::Succeeded;

namespace {

void ReleaseTextures(SharedImage* image) {
  platform::GraphicsDevice* host = Host();
  for (int i = 0; i < image->textureCount; ++i) {
    TextureTile& t = image->textures[i];
    if (host) {
      if (t.spare) host->Release(t.spare);
      if (t.surface) host->Release(t.surface);
      if (t.texture) host->Release(t.texture);
    }
    t.spare = nullptr;
    t.surface = nullptr;
    t.texture = nullptr;
  }
}

void FreeSharedImage(SharedImage* image) {
  // A texture still bound for drawing must not outlive its image.
  ForgetTexturesOf(image);
  ReleaseTextures(image);
  FreeMemory(image->textures);
  FreeMemory(image);
}

void DropFileRecord(GraphicRecord* g) {
  if (g->file && --g->file->refCount == 0) FreeMemory(g->file);
  g->file = nullptr;
}

// The kind's part of deleting a graphic; the table then frees the record.
void CleanupGraphic(core::HandleRecord* record) {
  auto* g = static_cast<GraphicRecord*>(record);
  if (g->image && --g->image->refCount == 0) FreeSharedImage(g->image);
  g->image = nullptr;
  FreeMemory(g->tiles);
  g->tiles = nullptr;
  g->tileCount = 0;
  DropFileRecord(g);
  if (g->deletionFlag) *g->deletionFlag = 1;
}

}  // namespace

core::TypedHandleTable<GraphicRecord>& GraphicTable() {
  static core::TypedHandleTable<GraphicRecord>* table = [] {
    auto* t = new core::TypedHandleTable<GraphicRecord>(
        core::HandleKind::Graphic, core::HandleCapacity(core::HandleKind::Graphic),
        core::HandleTable::SlotPolicy::UsedEnd,
        core::HandleTable::Messages{"グラフィックの数が許容量を越えました終了します",
                                    "メモリの確保に失敗しました", true});
    t->SetCleanup(CleanupGraphic);
    return t;
  }();
  return *table;
}

namespace {

int NewGraphicHandle() {
  int handle = GraphicTable().Add();
  GraphicRecord* g = GetGraphic(handle);
  g->handle = handle;
  g->movie = -1;
  return handle;
}

}  // namespace

int SplitTextureLength(int length, bool single, int sizes[32]) {
  if (length <= 8) {
    sizes[0] = 8;
    return 1;
  }
  const int max = std::max(8, Device().maxTextureSize);
  int e = max;
  while (e > 8 && e > length) e /= 2;
  if ((single || length < Screen().width) && 2 * e <= max) {
    sizes[0] = e < length ? 2 * e : e;
    return 1;
  }
  int count = 0;
  for (;;) {
    sizes[count++] = e;
    length -= e;
    if (length <= 0 || count == 32) break;
    if (length > 3 * e / 4 && e < max) {
      sizes[count - 1] = 2 * e;
      break;
    }
    while (length < e && e > 8) e /= 2;
  }
  if (count >= 2 && sizes[count - 1] == sizes[count - 2] && 2 * sizes[count - 1] <= max) {
    sizes[count - 2] *= 2;
    --count;
  }
  return count;
}

int ChooseTextureFormat(const ImageInfo& info) {
  bool deep = info.colourBits == 32;
  if (info.compression >= 1 && info.compression <= 5) return kFormatDxt1 + info.compression - 1;
  if (info.drawable) {
    if (info.alpha || info.transparent) return kFormatDrawableAlpha32;
    return deep ? kFormatDrawable32 : kFormatDrawable16;
  }
  if (info.alpha) return deep ? kFormatAlpha32 : kFormatAlpha16;
  if (info.transparent) return deep ? kFormatAlphaTest32 : kFormatAlphaTest16;
  return deep ? kFormatColour32 : kFormatColour16;
}

bool TextureColourFormat(int index, image::ColorFormat* format) {
  switch (index) {
    case 0: case 11: image::MakeFormatFromMasks(format, 16, 0xF800, 0x07E0, 0x001F, 0); return true;
    case 1: case 12: image::MakeXrgb8Format(format); return true;
    case 2: image::MakeFormatFromMasks(format, 16, 0x0F00, 0x00F0, 0x000F, 0xF000); return true;
    case 3: case 5: case 13: image::MakeArgb8Format(format); return true;
    case 4: image::MakeFormatFromMasks(format, 16, 0x7C00, 0x03E0, 0x001F, 0x8000); return true;
    case 6: case 7: case 8: case 9: case 10:
      image::MakeArgb8Format(format);
      format->compression = uint32_t(index - 5);
      format->colorBits = index == 6 ? 4 : 8;
      return true;
    default: return false;
  }
}

int CreateGraphicStorage(int mipLevels, int handle, int width, int height, bool alpha,
                         bool paletteNoAlpha, int compression) {
  GraphicRecord* g = GetGraphic(handle);
  if (!g) return -1;
  const CreationSettings& c = Creation();
  GraphicsDevice& d = Device();
  auto fail = [handle] {
    GraphicTable().Delete(handle);
    return -1;
  };

  ImageInfo info{};
  info.hardware = d.hardware;
  info.defaultPool = c.defaultPool;
  info.compression = uint8_t(compression);
  info.mipLevels = uint8_t(mipLevels > 0 ? mipLevels : 1);
  if (c.makeDrawable) {
    info.drawable = 1;
    info.defaultPool = 1;
    info.alpha = c.drawableWithAlpha;
    info.compression = 0;
    info.mipLevels = 0;
    info.transparent = 0;
  } else {
    info.alpha = alpha;
    info.transparent = c.useTransparentColour && !alpha;
  }
  info.colourBits = uint8_t(c.colourDepth ? c.colourDepth : (info.alpha ? 32 : ScreenColourBits()));
  info.paletteNoAlpha = paletteNoAlpha;
  int formatIndex = ChooseTextureFormat(info);

  int widths[32], heights[32];
  int columns = SplitTextureLength(width, info.drawable, widths);
  int rows = SplitTextureLength(height, info.drawable, heights);
  std::vector<TextureTile> tiles;
  for (int r = 0, y = 0; r < rows; y += heights[r++]) {
    for (int col = 0, x = 0; col < columns; x += widths[col++]) {
      TextureTile t{};
      t.x = x;
      t.y = y;
      t.textureWidth = widths[col];
      t.textureHeight = heights[r];
      tiles.push_back(t);
    }
  }
  if (d.squareTexturesOnly) {
    size_t original = tiles.size();
    for (size_t i = 0; i < original; ++i) {
      TextureTile& t = tiles[i];
      int side = std::min(t.textureWidth, t.textureHeight);
      bool wide = t.textureWidth > t.textureHeight;
      int extra = std::max(t.textureWidth, t.textureHeight) / side - 1;
      TextureTile base = t;
      t.textureWidth = t.textureHeight = side;
      for (int k = 1; k <= extra; ++k) {
        TextureTile n = base;
        n.textureWidth = n.textureHeight = side;
        if (wide) n.x += k * side; else n.y += k * side;
        tiles.push_back(n);
      }
    }
  }
  for (TextureTile& t : tiles) {
    t.usedWidth = std::min(width - t.x, t.textureWidth);
    t.usedHeight = std::min(height - t.y, t.textureHeight);
  }

  auto* shared = static_cast<SharedImage*>(AllocZeroMemory(sizeof(SharedImage), "", 0));
  TextureTile* textures =
      shared ? static_cast<TextureTile*>(AllocZeroMemory(sizeof(TextureTile) * tiles.size(), "", 0)) : nullptr;
  if (!shared || !textures) {
    FreeMemory(shared);
    WriteLog("グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n");
    return fail();
  }
  std::copy(tiles.begin(), tiles.end(), textures);
  shared->refCount = 1;
  shared->formatIndex = formatIndex;
  shared->info = info;
  shared->transparentColour = c.transparentColour;
  shared->width = width;
  shared->height = height;
  shared->mipLevels = info.mipLevels;
  shared->textureCount = int(tiles.size());
  shared->textures = textures;
  g->image = shared;
  g->x = g->y = 0;
  g->width = width;
  g->height = height;

  if (CreateGraphicTextures(shared) != 0 || BuildDrawTiles(handle) != 0) return fail();
  return 0;
}

int CreateGraphicTextures(SharedImage* image) {
  platform::GraphicsDevice* host = Host();
  if (!host || !host->DeviceExists()) return -1;
  if (!image->info.hardware) return 0;
  TextureFormat format = Device().formats.entries[image->formatIndex];
  if (format == TextureFormat::Unknown)
    return WriteLog("指定のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
  bool drawable = image->info.drawable;
  bool dxt = format >= TextureFormat::DXT1 && format <= TextureFormat::DXT5;
  for (int i = 0; i < image->textureCount; ++i) {
    TextureTile& t = image->textures[i];
    if (t.texture) continue;
    auto pool = image->info.defaultPool ? platform::MemoryPool::Default : platform::MemoryPool::Managed;
    auto usage = drawable ? platform::ResourceUsage::RenderTarget : platform::ResourceUsage::Plain;
    if (!Succeeded(host->CreateTexture(t.textureWidth, t.textureHeight, image->mipLevels, usage,
                                       format, pool, t.texture))) {
      t.texture = nullptr;
      return WriteLog("テクスチャの作成に失敗しました\n");
    }
    if (!Succeeded(host->GetSurfaceLevel(t.texture, 0, t.surface))) {
      t.surface = nullptr;
      return WriteLog("テクスチャのサーフェスアドレスの取得に失敗しました\n");
    }
    if (drawable) {
      host->ColorFill(t.surface, nullptr, 0);
    } else if (!image->info.defaultPool && !dxt) {
      int levels = host->LevelCount(t.texture);
      for (int level = 0; level < levels; ++level) {
        platform::LockedRect locked;
        if (!Succeeded(host->LockRect(t.texture, level, nullptr, locked))) continue;
        int rows = std::max(1, t.textureHeight >> level);
        std::memset(locked.bits, 0, size_t(locked.pitch) * size_t(rows));
        host->UnlockRect(t.texture, level);
      }
    }
  }
  return 0;
}

int BuildDrawTiles(int handle) {
  GraphicRecord* g = GetGraphic(handle);
  if (!g || !g->image) return -1;
  SharedImage* image = g->image;
  int count = 0;
  auto overlaps = [g](const TextureTile& t) {
    return t.x < g->x + g->width && g->x < t.x + t.usedWidth && t.y < g->y + g->height &&
           g->y < t.y + t.usedHeight;
  };
  for (int i = 0; i < image->textureCount; ++i) count += overlaps(image->textures[i]);
  if (count == 0) return WriteLog("テクスチャ描画情報の作成に失敗しました\n");
  auto* tiles = static_cast<DrawTile*>(ReallocMemory(g->tiles, sizeof(DrawTile) * size_t(count), "", 0));
  if (!tiles) return WriteLog("画像描画情報格納用メモリの確保に失敗しました\n");
  g->tiles = tiles;
  g->tileCount = count;
  int n = 0;
  for (int i = 0; i < image->textureCount; ++i) {
    TextureTile& t = image->textures[i];
    if (!overlaps(t)) continue;
    DrawTile& d = tiles[n++];
    d.texture = &t;
    d.destX = std::max(t.x - g->x, 0);
    d.destY = std::max(t.y - g->y, 0);
    d.srcX = std::max(g->x - t.x, 0);
    d.srcY = std::max(g->y - t.y, 0);
    d.width = std::min(g->x + g->width, t.x + t.usedWidth) - std::max(g->x, t.x);
    d.height = std::min(g->y + g->height, t.y + t.usedHeight) - std::max(g->y, t.y);
    float x0 = float(d.destX), x1 = float(d.destX + d.width);
    float y0 = float(d.destY), y1 = float(d.destY + d.height);
    float u0 = float(d.srcX) / float(t.textureWidth), u1 = float(d.srcX + d.width) / float(t.textureWidth);
    float v0 = float(d.srcY) / float(t.textureHeight), v1 = float(d.srcY + d.height) / float(t.textureHeight);
    d.corners[0] = {x0, y0, u0, v0};
    d.corners[1] = {x1, y0, u1, v0};
    d.corners[2] = {x0, y1, u0, v1};
    d.corners[3] = {x1, y1, u1, v1};
    for (int k = 0; k < 4; ++k) {
      float cx = d.corners[k].x, cy = d.corners[k].y;
      d.cornerInUpperLeft[k] = cy <= float(g->height) - cx * float(g->height) / float(g->width);
    }
  }
  return 0;
}

namespace {

ImageInfo ImageInfoFor(const image::BaseImage* image, const image::BaseImage* alphaImage) {
  ImageInfo info{};
  info.alpha = alphaImage != nullptr || image->format.alphaWidth != 0;
  info.paletteNoAlpha = image->format.pixelBytes == 1 && image->format.alphaWidth == 0 && !alphaImage;
  info.compression = uint8_t(image->format.compression);
  return info;
}

}  // namespace

int CreateGraphicForImage(const image::BaseImage* image, const image::BaseImage* alphaImage) {
  if (!Device().ready || !image) return -1;
  if (alphaImage && (alphaImage->width != image->width || alphaImage->height != image->height)) return -1;
  core::WaitWhileInactive();
  ImageInfo info = ImageInfoFor(image, alphaImage);
  int handle = NewGraphicHandle();
  int mips = image->mipCount > 1 ? image->mipCount : 0;
  if (CreateGraphicStorage(mips, handle, image->width, image->height, info.alpha,
                           info.paletteNoAlpha, info.compression) != 0)
    return -1;
  return handle;
}

int CreateEmptyGraphicHandle(int width, int height, bool waitWhileInactive) {
  if (!Device().ready || width <= 0 || height <= 0) return -1;
  if (waitWhileInactive) core::WaitWhileInactive();
  int handle = NewGraphicHandle();
  if (CreateGraphicStorage(0, handle, width, height, Creation().emptyWithAlpha, false, 0) != 0) return -1;
  return handle;
}

int DeriveGraphic(int x, int y, int width, int height, int parent) {
  GraphicRecord* p = GetGraphic(parent);
  if (!p || x < 0 || y < 0 || x >= p->width || y >= p->height) return -1;
  int handle = NewGraphicHandle();
  GraphicRecord* g = GetGraphic(handle);
  g->image = p->image;
  ++g->image->refCount;
  g->file = p->file;
  if (g->file) ++g->file->refCount;
  g->fileX = p->fileX + x;
  g->fileY = p->fileY + y;
  g->mirrored = p->mirrored;
  g->x = p->x + x;
  g->y = p->y + y;
  g->width = std::min(width, p->width - x);
  g->height = std::min(height, p->height - y);
  if (BuildDrawTiles(handle) != 0) {
    GraphicTable().Delete(handle);
    return -1;
  }
  return handle;
}

int DeleteGraphicHandle(int handle) { return GraphicTable().Delete(handle); }

void DeleteAllGraphics() {
  auto& table = GraphicTable();
  for (int slot = 0; slot < table.UsedEnd(); ++slot) {
    if (core::HandleRecord* r = table.At(slot))
      table.Delete(core::MakeHandle(core::HandleKind::Graphic, r->check, slot));
  }
}

void ReleaseAllGraphicTextures() {
  auto& table = GraphicTable();
  for (int slot = 0; slot < table.UsedEnd(); ++slot)
    if (auto* g = static_cast<GraphicRecord*>(table.At(slot)); g && g->image) ReleaseTextures(g->image);
}

void RecreateAllGraphicTextures() {
  auto& table = GraphicTable();
  for (int slot = 0; slot < table.UsedEnd(); ++slot)
    if (auto* g = static_cast<GraphicRecord*>(table.At(slot)); g && g->image) CreateGraphicTextures(g->image);
}

}  // namespace qr::graphics

using namespace qr::graphics;

int DeleteGraphic(int handle) { return DeleteGraphicHandle(handle); }

int CreateEmptyGraphic(int width, int height) { return CreateEmptyGraphicHandle(width, height); }

int SetGraphicDeletionFlag(int handle, int* flag) {
  GraphicRecord* g = GetGraphic(handle);
  if (!g) return -1;
  g->deletionFlag = flag;
  if (flag) *flag = 0;
  return 0;
}

int GetGraphicSize(int handle, int* width, int* height) {
  int w, h;
  if (handle == kBackScreen || handle == kFrontScreen) {
    w = Screen().width;
    h = Screen().height;
  } else {
    GraphicRecord* g = GetGraphic(handle);
    if (!g) return -1;
    w = g->width;
    h = g->height;
  }
  if (width) *width = w;
  if (height) *height = h;
  return 0;
}

int FillGraphic(int handle, int red, int green, int blue, int alpha) {
  GraphicRecord* g = GetGraphic(handle);
  if (!g || !Host()) return -1;
  if (!g->image->info.drawable) return 0;
  uint32_t argb = uint32_t(std::clamp(alpha, 0, 255)) << 24 | uint32_t(std::clamp(red, 0, 255)) << 16 |
                  uint32_t(std::clamp(green, 0, 255)) << 8 | uint32_t(std::clamp(blue, 0, 255));
  FlushVertices();
  for (int i = 0; i < g->tileCount; ++i) {
    const DrawTile& t = g->tiles[i];
    qr::platform::Rect r{t.srcX, t.srcY, t.srcX + t.width, t.srcY + t.height};
    Host()->ColorFill(t.texture->surface, &r, argb);
  }
  return 0;
}
