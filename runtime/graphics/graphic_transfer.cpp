// Uploading decoded pixels into a graphic's textures, and copying the screen into a graphic.
#include <algorithm>
#include <cstring>

#include "graphics/draw_settings.h"
#include "graphics/draw_state.h"
#include "graphics/graphic_handles.h"
#include "graphics/device_start.h"
#include "graphics/load_graphic.h"
#include "qr.h"

namespace qr::graphics {

using platform::Succeeded;
using platform::TextureFormat;

namespace {

// The pixel layout of a texture format as the converter describes formats.
bool LayoutOf(TextureFormat format, image::ColorFormat* out) {
  std::memset(out, 0, sizeof *out);
  switch (format) {
    case TextureFormat::R5G6B5: return image::MakeFormatFromMasks(out, 16, 0xF800, 0x07E0, 0x001F, 0) == 0;
    case TextureFormat::X1R5G5B5: return image::MakeFormatFromMasks(out, 16, 0x7C00, 0x03E0, 0x001F, 0) == 0;
    case TextureFormat::A1R5G5B5: return image::MakeFormatFromMasks(out, 16, 0x7C00, 0x03E0, 0x001F, 0x8000) == 0;
    case TextureFormat::A4R4G4B4: return image::MakeFormatFromMasks(out, 16, 0x0F00, 0x00F0, 0x000F, 0xF000) == 0;
    case TextureFormat::X8R8G8B8: return image::MakeXrgb8Format(out) == 0;
    case TextureFormat::A8R8G8B8: return image::MakeArgb8Format(out) == 0;
    default: return false;
  }
}

bool IsDxt(TextureFormat f) { return f >= TextureFormat::DXT1 && f <= TextureFormat::DXT5; }

struct Upload {
  image::BaseImage* image;
  image::BaseImage* alpha;
  uint32_t key;
  // Source rectangle origin, and the destination rectangle in shared-image coordinates.
  int sourceX, sourceY;
  int left, top, right, bottom;
};

image::PixelConversion ConversionInto(const Upload& u, const image::ColorFormat& destFormat,
                                      void* bits, int pitch, int fromX, int fromY, int width,
                                      int height) {
  image::PixelConversion c;
  c.destPixels = bits;
  c.destPitch = pitch;
  c.destFormat = &destFormat;
  c.sourcePixels = u.image->pixels;
  c.sourcePitch = u.image->pitch;
  c.sourceFormat = &u.image->format;
  if (u.alpha) {
    c.alphaPixels = u.alpha->pixels;
    c.alphaPitch = u.alpha->pitch;
    c.alphaFormat = &u.alpha->format;
  }
  c.left = fromX;
  c.top = fromY;
  c.right = fromX + width;
  c.bottom = fromY + height;
  c.keyToAlpha = destFormat.alphaWidth != 0 && !u.alpha;
  c.keyColor = u.key;
  return c;
}

// Copies whole DXT blocks level by level when the picture is stored in the texture's own kind.
int CopyCompressedLevels(const Upload& u, TextureTile& t, int levels) {
  platform::GraphicsDevice& host = *Host();
  const unsigned char* source = u.image->pixels;
  int w = u.image->width, h = u.image->height;
  for (int level = 0; level < levels; ++level) {
    size_t bytes = image::DxtLevelBytes(u.image->format.compression, w, h);
    platform::LockedRect locked;
    if (!Succeeded(host.LockRect(t.texture, level, nullptr, locked)))
      return WriteLog(level == 0 ? "テクスチャのロックに失敗しました\n" : "ミップマップテクスチャのロックに失敗しました\n");
    int blockRows = (h + 3) / 4;
    size_t rowBytes = bytes / size_t(std::max(1, blockRows));
    for (int r = 0; r < blockRows; ++r)
      std::memcpy(static_cast<unsigned char*>(locked.bits) + size_t(r) * size_t(locked.pitch),
                  source + size_t(r) * rowBytes, std::min(rowBytes, size_t(locked.pitch)));
    host.UnlockRect(t.texture, level);
    source += bytes;
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  return 0;
}

int UploadManaged(const Upload& u, SharedImage* shared) {
  platform::GraphicsDevice& host = *Host();
  TextureFormat format = Device().formats.entries[shared->formatIndex];
  image::ColorFormat destFormat;
  bool compressedTexture = IsDxt(format);
  uint32_t sourceCompression = u.image->format.compression;

  for (int i = 0; i < shared->textureCount; ++i) {
    TextureTile& t = shared->textures[i];
    int left = std::max(u.left, t.x), top = std::max(u.top, t.y);
    int right = std::min(u.right, t.x + t.usedWidth), bottom = std::min(u.bottom, t.y + t.usedHeight);
    if (left >= right || top >= bottom || !t.texture) continue;
    int levels = host.LevelCount(t.texture);

    if (compressedTexture) {
      bool sameKind = sourceCompression == uint32_t(int(format) - int(TextureFormat::DXT1) + 1);
      bool wholeTile = left == t.x && top == t.y && right - left == t.usedWidth && bottom - top == t.usedHeight &&
                       u.image->width == t.textureWidth && u.image->height == t.textureHeight;
      if (!sameKind || !wholeTile)
        return WriteLog("DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません\n");
      if (CopyCompressedLevels(u, t, std::min(levels, std::max(1, u.image->mipCount))) != 0) return -1;
      continue;
    }
    if (!LayoutOf(format, &destFormat)) return -1;

    int fromX = u.sourceX + (left - u.left), fromY = u.sourceY + (top - u.top);
    int width = right - left, height = bottom - top;
    platform::Rect lockRect{left - t.x, top - t.y, right - t.x, bottom - t.y};
    platform::LockedRect locked;
    if (!Succeeded(host.LockRect(t.texture, 0, &lockRect, locked)))
      return WriteLog("テクスチャのロックに失敗しました\n");
    bool sameLayout = image::SameLayout(u.image->format, destFormat) && !u.alpha &&
                      !(destFormat.alphaWidth != 0 && u.image->format.alphaWidth == 0);
    if (sameLayout) {
      size_t rowBytes = size_t(width) * destFormat.pixelBytes;
      for (int r = 0; r < height; ++r)
        std::memcpy(static_cast<unsigned char*>(locked.bits) + size_t(r) * size_t(locked.pitch),
                    u.image->pixels + size_t(fromY + r) * size_t(u.image->pitch) +
                        size_t(fromX) * destFormat.pixelBytes,
                    rowBytes);
    } else {
      image::ConvertPixels(ConversionInto(u, destFormat, locked.bits, locked.pitch, fromX, fromY, width, height));
    }
    host.UnlockRect(t.texture, 0);

    if (levels > 1) {
      // Each further level is the one before it halved.
      size_t pixelBytes = destFormat.pixelBytes;
      int lw = width, lh = height;
      size_t bytes = size_t(lw) * size_t(lh) * pixelBytes;
      auto* work = static_cast<unsigned char*>(AllocMemory(bytes * 2 + 16, "", 0));
      if (!work) return WriteLog("テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました\n");
      image::ConvertPixels(ConversionInto(u, destFormat, work, int(size_t(lw) * pixelBytes), fromX, fromY, lw, lh));
      unsigned char* current = work;
      unsigned char* next = work + bytes;
      for (int level = 1; level < levels; ++level) {
        int nw = std::max(1, lw / 2), nh = std::max(1, lh / 2);
        image::HalveImageRect(&destFormat, next, int(size_t(nw) * pixelBytes), current,
                              int(size_t(lw) * pixelBytes), lw, lh);
        platform::Rect levelRect{lockRect.left >> level, lockRect.top >> level,
                                 (lockRect.left >> level) + nw, (lockRect.top >> level) + nh};
        platform::LockedRect levelLock;
        if (!Succeeded(host.LockRect(t.texture, level, &levelRect, levelLock))) {
          FreeMemory(work);
          return WriteLog("ミップマップテクスチャのロックに失敗しました\n");
        }
        for (int r = 0; r < nh; ++r)
          std::memcpy(static_cast<unsigned char*>(levelLock.bits) + size_t(r) * size_t(levelLock.pitch),
                      next + size_t(r) * size_t(nw) * pixelBytes, size_t(nw) * pixelBytes);
        host.UnlockRect(t.texture, level);
        std::swap(current, next);
        lw = nw;
        lh = nh;
        if (lw == 1 && lh == 1) break;
      }
      FreeMemory(work);
    }
  }
  return 0;
}

int UploadDrawable(const Upload& u, SharedImage* shared) {
  platform::GraphicsDevice& host = *Host();
  TextureFormat format = Device().formats.entries[shared->formatIndex];
  image::ColorFormat destFormat;
  if (!LayoutOf(format, &destFormat)) return -1;
  int width = u.right - u.left, height = u.bottom - u.top;
  platform::Surface* staging = nullptr;
  if (!Succeeded(host.CreateOffscreenPlainSurface(width, height, format, platform::MemoryPool::SystemMemory, staging)))
    return WriteLog("画像転送用のシステムメモリテクスチャの作成に失敗しました\n");
  platform::LockedRect locked;
  if (Succeeded(host.LockRect(staging, nullptr, locked))) {
    image::ConvertPixels(ConversionInto(u, destFormat, locked.bits, locked.pitch, u.sourceX, u.sourceY, width, height));
    host.UnlockRect(staging);
  }
  int result = 0;
  for (int i = 0; i < shared->textureCount; ++i) {
    TextureTile& t = shared->textures[i];
    int left = std::max(u.left, t.x), top = std::max(u.top, t.y);
    int right = std::min(u.right, t.x + t.usedWidth), bottom = std::min(u.bottom, t.y + t.usedHeight);
    if (left >= right || top >= bottom || !t.surface) continue;
    platform::Rect from{left - u.left, top - u.top, right - u.left, bottom - u.top};
    if (!Succeeded(host.UpdateSurface(staging, &from, t.surface, left - t.x, top - t.y))) {
      result = WriteLog("描画可能テクスチャへの画像の転送に失敗しました\n");
      break;
    }
  }
  host.Release(staging);
  return result;
}

}  // namespace

int TransferImageToGraphic(int handle, image::BaseImage* image, image::BaseImage* alphaImage,
                           const TransferRect& source, int destX, int destY, int mirrored,
                           const char* path, bool imageCoordinates) {
  GraphicRecord* g = GetGraphic(handle);
  if (!g || !image) return -1;
  if (path) RememberGraphicFile(handle, path, -1);
  g = GetGraphic(handle);
  g->fileX = source.left - destX;
  g->fileY = source.top - destY;
  g->mirrored = mirrored;

  FlushVertices();
  int width = source.right - source.left, height = source.bottom - source.top;
  if (width <= 0 || height <= 0) return 0;
  int gx = imageCoordinates ? destX - g->x : destX;
  int gy = imageCoordinates ? destY - g->y : destY;
  int sx = source.left, sy = source.top;
  if (gx < 0) { sx -= gx; width += gx; gx = 0; }
  if (gy < 0) { sy -= gy; height += gy; gy = 0; }
  width = std::min(width, g->width - gx);
  height = std::min(height, g->height - gy);
  // The source must lie inside the picture as well.
  width = std::min(width, image->width - sx);
  height = std::min(height, image->height - sy);
  if (width <= 0 || height <= 0 || sx < 0 || sy < 0) return -1;
  if (!Host() || !Host()->DeviceExists()) return -1;

  SharedImage* shared = g->image;
  Upload u{image, alphaImage, shared->transparentColour, sx, sy,
           g->x + gx, g->y + gy, g->x + gx + width, g->y + gy + height};

  // A compressed picture goes into plain textures decompressed.
  image::BaseImage plain{};
  TextureFormat format = Device().formats.entries[shared->formatIndex];
  if (image->format.compression != 0 && !IsDxt(format)) {
    plain = *image;
    size_t bytes = size_t(image->pitch) * size_t(image->height) + image::DxtLevelBytes(image->format.compression, image->width, image->height);
    plain.pixels = static_cast<unsigned char*>(AllocMemory(bytes, "", 0));
    if (!plain.pixels) return WriteLog("標準イメージ用のメモリ確保に失敗しました\n");
    std::memcpy(plain.pixels, image->pixels, image::DxtLevelBytes(image->format.compression, image->width, image->height));
    plain.mipCount = 0;
    if (image::DecodeDxtImage(&plain) != 0) {
      FreeMemory(plain.pixels);
      return WriteLog("標準イメージ用のメモリ確保に失敗しました\n");
    }
    u.image = &plain;
  }
  int result = shared->info.drawable ? UploadDrawable(u, shared) : UploadManaged(u, shared);
  if (u.image == &plain) image::FreeImagePixels(&plain);
  return result;
}

}  // namespace qr::graphics

using namespace qr::graphics;

int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int handle) {
  GraphicRecord* g = GetGraphic(handle);
  if (!g || !Host() || !Device().ready) return -1;
  FlushVertices();
  CloseScene();
  const DrawSettings& s = Draw();
  if (!(0 <= x1 && x1 < x2 && x2 <= s.targetWidth && 0 <= y1 && y1 < y2 && y2 <= s.targetHeight)) return -1;
  if (x2 - x1 != g->width || y2 - y1 != g->height) return -1;
  qr::platform::GraphicsDevice& host = *Host();
  qr::platform::Surface* target = CurrentTargetSurface();
  qr::platform::Rect from{x1, y1, x2, y2};
  if (g->image->info.drawable) {
    for (int i = 0; i < g->tileCount; ++i) {
      const DrawTile& t = g->tiles[i];
      qr::platform::Rect part{x1 + t.destX, y1 + t.destY, x1 + t.destX + t.width, y1 + t.destY + t.height};
      qr::platform::Rect to{t.srcX, t.srcY, t.srcX + t.width, t.srcY + t.height};
      host.StretchRect(target, &part, t.texture->surface, &to, qr::platform::TextureFilter::Point);
    }
    return 0;
  }
  TextureFormat screenFormat = Device().formats.screen;
  qr::platform::Surface* copy = nullptr;
  qr::platform::Surface* system = nullptr;
  if (!qr::platform::Succeeded(host.CreateRenderTarget(g->width, g->height, screenFormat, false, copy)))
    return WriteLog("GetDrawScreenGraph 用描画可能サーフェスの作成に失敗しました\n");
  if (!qr::platform::Succeeded(host.CreateOffscreenPlainSurface(g->width, g->height, screenFormat,
                                                                qr::platform::MemoryPool::SystemMemory, system))) {
    host.Release(copy);
    return WriteLog("GetDrawScreenGraph 用システムメモリサーフェスの作成に失敗しました\n");
  }
  host.StretchRect(target, &from, copy, nullptr, qr::platform::TextureFilter::Point);
  host.GetRenderTargetData(copy, system);
  qr::image::BaseImage screenImage{};
  qr::platform::LockedRect locked;
  int result = -1;
  if (qr::platform::Succeeded(host.LockRect(system, nullptr, locked)) && LayoutOf(screenFormat, &screenImage.format)) {
    screenImage.width = g->width;
    screenImage.height = g->height;
    screenImage.pitch = locked.pitch;
    screenImage.pixels = static_cast<unsigned char*>(locked.bits);
    result = TransferImageToGraphic(handle, &screenImage, nullptr, TransferRect{0, 0, g->width, g->height}, 0, 0, 0, nullptr);
    host.UnlockRect(system);
  }
  host.Release(system);
  host.Release(copy);
  return result;
}
