#include "platform/gpu/resources.h"

#include <algorithm>
#include <new>

#include "platform/gpu/formats.h"

namespace qr::platform::gpu {

namespace {
// The largest side of any surface: keeps every size product far from overflow.
constexpr int kMaxSide = 16384;
}  // namespace

std::unique_ptr<CpuSurface> CpuSurface::Make(const SurfaceDescription& description) {
  if (description.width <= 0 || description.height <= 0 || description.width > kMaxSide ||
      description.height > kMaxSide)
    return nullptr;
  FormatInfo info = Info(description.format);
  if (!info.bytesPerPixel && !info.blockBytes) return nullptr;
  std::unique_ptr<CpuSurface> surface(new (std::nothrow) CpuSurface(description));
  if (!surface) return nullptr;
  try {
    if (info.isDepth) {
      surface->pitch_ = size_t(description.width) * size_t(info.bytesPerPixel);
      surface->depth_.assign(size_t(description.width) * size_t(description.height), 1.0f);
    } else {
      surface->pitch_ = RowPitch(description.format, description.width);
      size_t bytes = surface->pitch_ * size_t(RowCount(description.format, description.height));
      surface->words_.assign((bytes + 3) / 4, 0);
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return surface;
}

TexelView CpuSurface::Texels() {
  const int w = description_.width, h = description_.height;
  if (description_.format == TextureFormat::A8R8G8B8) return {words_.data(), w, h};
  if (texelsStale_) {
    texels_.resize(size_t(w) * size_t(h));
    if (IsDxt(description_.format)) {
      DecodeDxt(description_.format, Bytes(), pitch_, w, h, texels_.data());
    } else {
      for (int y = 0; y < h; ++y)
        RowToArgb(description_.format, Row(y), texels_.data() + size_t(y) * size_t(w), w);
    }
    texelsStale_ = false;
  }
  return {texels_.data(), w, h};
}

int FullChainLength(int width, int height) {
  int levels = 1;
  while (width > 1 || height > 1) {
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
    ++levels;
  }
  return levels;
}

std::unique_ptr<CpuTexture> CpuTexture::Make(int width, int height, int levels,
                                             ResourceUsage usage, TextureFormat format,
                                             MemoryPool pool) {
  std::unique_ptr<CpuTexture> texture(new (std::nothrow) CpuTexture());
  if (!texture) return nullptr;
  texture->format_ = format;
  int chain = FullChainLength(width, height);
  int count = levels <= 0 ? chain : std::min(levels, chain);
  try {
    for (int level = 0; level < count; ++level) {
      SurfaceDescription description;
      description.format = format;
      description.usage = usage;
      description.pool = pool;
      description.width = std::max(1, width >> level);
      description.height = std::max(1, height >> level);
      description.lockable = usage != ResourceUsage::RenderTarget;
      auto surface = CpuSurface::Make(description);
      if (!surface) return nullptr;
      surface->container = texture.get();
      surface->refs = 0;
      texture->levels_.push_back(std::move(surface));
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return texture;
}

}  // namespace qr::platform::gpu
