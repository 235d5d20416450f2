// The device's objects: surfaces (free-standing or a texture's level) and textures. A surface keeps
// its pixels in its own format; a colour surface also keeps, on demand, an 0xAARRGGBB copy that
// the rasterizer samples from (rebuilt after anything wrote to the surface). Depth surfaces keep
// one float per pixel.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics_device.h"

namespace qr::platform::gpu {

class CpuTexture;

// Texels as the rasterizer reads them: width x height ARGB words, row after row.
struct TexelView {
  const uint32_t* texels = nullptr;
  int width = 0, height = 0;
};

class CpuSurface final : public Surface {
 public:
  // Returns null when the size cannot be held.
  static std::unique_ptr<CpuSurface> Make(const SurfaceDescription& description);

  const SurfaceDescription& Description() const { return description_; }
  TextureFormat Format() const { return description_.format; }
  int Width() const { return description_.width; }
  int Height() const { return description_.height; }
  size_t Pitch() const { return pitch_; }
  uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(words_.data()); }
  uint8_t* Row(int y) { return Bytes() + size_t(y) * pitch_; }
  float* Depth() { return depth_.data(); }

  // Something wrote to the pixels: the sampling copy is stale.
  void Touch() { texelsStale_ = true; }
  TexelView Texels();

  bool locked = false;
  CpuTexture* container = nullptr;  // the texture this surface is a level of, if any
  int refs = 1;                     // unused for texture levels: they count on their texture

 private:
  explicit CpuSurface(const SurfaceDescription& description) : description_(description) {}
  SurfaceDescription description_;
  size_t pitch_ = 0;
  std::vector<uint32_t> words_;  // the pixels, pitch_ bytes per row (whole words)
  std::vector<float> depth_;
  std::vector<uint32_t> texels_;
  bool texelsStale_ = true;
};

class CpuTexture final : public Texture {
 public:
  // levels 0 makes the whole chain down to 1 x 1. Returns null when memory runs out.
  static std::unique_ptr<CpuTexture> Make(int width, int height, int levels, ResourceUsage usage,
                                          TextureFormat format, MemoryPool pool);
  int LevelCount() const { return int(levels_.size()); }
  CpuSurface* Level(int level) { return levels_[size_t(level)].get(); }
  TextureFormat Format() const { return format_; }

  int refs = 1;

 private:
  CpuTexture() = default;
  TextureFormat format_ = TextureFormat::Unknown;
  std::vector<std::unique_ptr<CpuSurface>> levels_;
};

// Full mip chain length of a width x height texture.
int FullChainLength(int width, int height);

}  // namespace qr::platform::gpu
