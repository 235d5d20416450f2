// Textures and surfaces: formats the device offers, levels, locks, DXT blocks, references.
#include "platform/gpu_fixture.h"

namespace qr::testing {
namespace {

using platform::gpu::CpuSurface;
using platform::gpu::CpuTexture;

class GpuResources : public GpuTest {};

const TextureFormat kColourFormats[] = {TextureFormat::R5G6B5,   TextureFormat::X1R5G5B5,
                                        TextureFormat::X8R8G8B8, TextureFormat::A4R4G4B4,
                                        TextureFormat::A1R5G5B5, TextureFormat::A8R8G8B8};
const TextureFormat kDxtFormats[] = {TextureFormat::DXT1, TextureFormat::DXT2, TextureFormat::DXT3,
                                     TextureFormat::DXT4, TextureFormat::DXT5};
const TextureFormat kDepthFormats[] = {TextureFormat::D16, TextureFormat::D24X8, TextureFormat::D32};

TEST_F(GpuResources, FormatChecksFollowTheSettings) {
  const auto screen = TextureFormat::X8R8G8B8;
  auto check = [&](ResourceUsage usage, ResourceKind kind, TextureFormat f) {
    return device.CheckDeviceFormat(screen, usage, kind, f);
  };
  for (TextureFormat f : kColourFormats) {
    EXPECT_EQ(check(ResourceUsage::Plain, ResourceKind::Texture, f), DeviceResult::Ok);
    EXPECT_EQ(check(ResourceUsage::RenderTarget, ResourceKind::Texture, f), DeviceResult::Ok);
    EXPECT_EQ(check(ResourceUsage::DepthStencil, ResourceKind::Surface, f), DeviceResult::NotAvailable);
  }
  for (TextureFormat f : kDxtFormats) {
    EXPECT_EQ(check(ResourceUsage::Plain, ResourceKind::Texture, f), DeviceResult::Ok);
    EXPECT_EQ(check(ResourceUsage::RenderTarget, ResourceKind::Texture, f), DeviceResult::NotAvailable);
  }
  for (TextureFormat f : kDepthFormats) {
    EXPECT_EQ(check(ResourceUsage::DepthStencil, ResourceKind::Surface, f), DeviceResult::Ok);
    EXPECT_EQ(device.CheckDepthStencilMatch(screen, screen, f), DeviceResult::Ok);
  }
  // A screen format the display cannot have is refused outright.
  EXPECT_EQ(device.CheckDeviceFormat(TextureFormat::A4R4G4B4, ResourceUsage::Plain,
                                     ResourceKind::Texture, TextureFormat::A8R8G8B8),
            DeviceResult::InvalidCall);

  device.settings.capabilities.dxt = false;
  device.settings.unusableTextures = {TextureFormat::A4R4G4B4};
  device.settings.unusableRenderTargets = {TextureFormat::X1R5G5B5};
  device.settings.unusableDepthFormats = {TextureFormat::D16};
  for (TextureFormat f : kDxtFormats)
    EXPECT_EQ(check(ResourceUsage::Plain, ResourceKind::Texture, f), DeviceResult::NotAvailable);
  EXPECT_EQ(check(ResourceUsage::Plain, ResourceKind::Texture, TextureFormat::A4R4G4B4), DeviceResult::NotAvailable);
  EXPECT_EQ(check(ResourceUsage::RenderTarget, ResourceKind::Texture, TextureFormat::X1R5G5B5), DeviceResult::NotAvailable);
  EXPECT_EQ(check(ResourceUsage::RenderTarget, ResourceKind::Texture, TextureFormat::A4R4G4B4), DeviceResult::Ok);
  EXPECT_EQ(device.CheckDepthStencilMatch(screen, screen, TextureFormat::D16), DeviceResult::NotAvailable);
  EXPECT_EQ(device.CheckDepthStencilMatch(screen, screen, TextureFormat::D24X8), DeviceResult::Ok);

  Create();
  Texture* t = nullptr;
  EXPECT_EQ(device.CreateTexture(8, 8, 1, ResourceUsage::Plain, TextureFormat::DXT1, MemoryPool::Managed, t),
            DeviceResult::NotSupported);
  EXPECT_EQ(t, nullptr);
  Surface* depth = nullptr;
  EXPECT_EQ(device.CreateDepthStencilSurface(8, 8, TextureFormat::D16, true, depth), DeviceResult::NotSupported);
}

TEST_F(GpuResources, TextureLevelsSizesAndLimits) {
  Create();
  struct Case {
    int width, height, levels, expectedLevels;
  } cases[] = {{256, 64, 0, 9}, {256, 64, 3, 3}, {8, 8, 1, 1}, {1, 1, 0, 1}, {4, 4, 20, 3}};
  for (const Case& c : cases) {
    Texture* t = nullptr;
    ASSERT_EQ(device.CreateTexture(c.width, c.height, c.levels, ResourceUsage::Plain,
                                   TextureFormat::A8R8G8B8, MemoryPool::Managed, t),
              DeviceResult::Ok);
    EXPECT_EQ(device.LevelCount(t), c.expectedLevels);
    Surface* last = nullptr;
    ASSERT_EQ(device.GetSurfaceLevel(t, c.expectedLevels - 1, last), DeviceResult::Ok);
    SurfaceDescription d;
    device.GetDescription(last, d);
    EXPECT_EQ(d.width, std::max(1, c.width >> (c.expectedLevels - 1)));
    EXPECT_EQ(d.height, std::max(1, c.height >> (c.expectedLevels - 1)));
    Surface* none = nullptr;
    EXPECT_EQ(device.GetSurfaceLevel(t, c.expectedLevels, none), DeviceResult::InvalidCall);
    device.Release(last);
    device.Release(t);
  }
  Texture* t = nullptr;
  device.settings.capabilities.maxTextureWidth = 512;
  device.settings.capabilities.squareTexturesOnly = true;
  EXPECT_EQ(device.CreateTexture(1024, 1024, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t),
            DeviceResult::InvalidCall);
  EXPECT_EQ(device.CreateTexture(512, 64, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t),
            DeviceResult::InvalidCall);
  EXPECT_EQ(device.CreateTexture(0, 64, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t),
            DeviceResult::InvalidCall);
  // Render-target textures live in the default pool only; DXT sizes are whole blocks.
  EXPECT_EQ(device.CreateTexture(64, 64, 1, ResourceUsage::RenderTarget, TextureFormat::X8R8G8B8, MemoryPool::Managed, t),
            DeviceResult::InvalidCall);
  EXPECT_EQ(device.CreateTexture(6, 6, 1, ResourceUsage::Plain, TextureFormat::DXT5, MemoryPool::Managed, t),
            DeviceResult::InvalidCall);
  // A budget of creations lets tests make creation fail part way.
  device.settings.textureCreationsLeft = 1;
  ASSERT_EQ(device.CreateTexture(64, 64, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t),
            DeviceResult::Ok);
  device.Release(t);
  EXPECT_EQ(device.CreateTexture(64, 64, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t),
            DeviceResult::OutOfMemory);
  EXPECT_EQ(t, nullptr);
}

TEST_F(GpuResources, LocksGiveRowsOfTheFormatAndRefuseMisuse) {
  Create();
  struct Case {
    TextureFormat format;
    int width, height, pitch;
  } cases[] = {{TextureFormat::A4R4G4B4, 8, 8, 16}, {TextureFormat::X8R8G8B8, 8, 8, 32},
               {TextureFormat::DXT1, 8, 8, 16},     {TextureFormat::DXT5, 16, 8, 64},
               {TextureFormat::R5G6B5, 2, 2, 4}};
  for (const Case& c : cases) {
    Texture* t = nullptr;
    ASSERT_EQ(device.CreateTexture(c.width, c.height, 0, ResourceUsage::Plain, c.format, MemoryPool::Managed, t),
              DeviceResult::Ok);
    LockedRect locked;
    ASSERT_EQ(device.LockRect(t, 0, nullptr, locked), DeviceResult::Ok);
    EXPECT_EQ(locked.pitch, c.pitch) << platform::gpu::FormatName(c.format);
    LockedRect again;
    EXPECT_EQ(device.LockRect(t, 0, nullptr, again), DeviceResult::InvalidCall);
    EXPECT_EQ(device.UnlockRect(t, 0), DeviceResult::Ok);
    EXPECT_EQ(device.UnlockRect(t, 0), DeviceResult::InvalidCall);
    device.Release(t);
  }
  // A part of a surface: the pointer starts at its corner. DXT parts lie on block edges.
  Texture* t = nullptr;
  ASSERT_EQ(device.CreateTexture(8, 8, 1, ResourceUsage::Plain, TextureFormat::DXT3, MemoryPool::Managed, t), DeviceResult::Ok);
  LockedRect whole, part;
  Rect corner{4, 4, 8, 8}, crooked{2, 0, 8, 4}, outside{4, 4, 12, 8};
  device.LockRect(t, 0, nullptr, whole);
  device.UnlockRect(t, 0);
  ASSERT_EQ(device.LockRect(t, 0, &corner, part), DeviceResult::Ok);
  EXPECT_EQ(static_cast<uint8_t*>(part.bits) - static_cast<uint8_t*>(whole.bits), 32 + 16);
  device.UnlockRect(t, 0);
  EXPECT_EQ(device.LockRect(t, 0, &crooked, part), DeviceResult::InvalidCall);
  EXPECT_EQ(device.LockRect(t, 0, &outside, part), DeviceResult::InvalidCall);
  device.Release(t);
  // Render-target textures and depth surfaces cannot be locked.
  ASSERT_EQ(device.CreateTexture(8, 8, 1, ResourceUsage::RenderTarget, TextureFormat::X8R8G8B8, MemoryPool::Default, t), DeviceResult::Ok);
  EXPECT_EQ(device.LockRect(t, 0, nullptr, part), DeviceResult::InvalidCall);
  device.Release(t);
  Surface* depth = nullptr;
  ASSERT_EQ(device.CreateDepthStencilSurface(8, 8, TextureFormat::D24X8, true, depth), DeviceResult::Ok);
  EXPECT_EQ(device.LockRect(depth, nullptr, part), DeviceResult::InvalidCall);
  device.Release(depth);
}

TEST_F(GpuResources, PixelFormatsRoundTrip) {
  struct Case {
    TextureFormat format;
    uint32_t in, out;
  } cases[] = {
      {TextureFormat::A8R8G8B8, 0x12345678, 0x12345678}, {TextureFormat::X8R8G8B8, 0x12345678, 0xFF345678},
      {TextureFormat::A4R4G4B4, 0x8844CC11, 0x8844CC11}, {TextureFormat::A4R4G4B4, 0x8F4FCF1F, 0x8844CC11},
      {TextureFormat::A1R5G5B5, 0x80FF0000, 0xFFFF0000}, {TextureFormat::A1R5G5B5, 0x7FFF0000, 0x00FF0000},
      {TextureFormat::X1R5G5B5, 0x00FF8040, 0xFFFF8442}, {TextureFormat::R5G6B5, 0x00FF8040, 0xFFFF8242},
      {TextureFormat::R5G6B5, 0xFFFFFFFF, 0xFFFFFFFF},   {TextureFormat::R5G6B5, 0xFF000000, 0xFF000000},
  };
  for (const Case& c : cases) {
    uint8_t pixel[4] = {};
    platform::gpu::StorePixel(c.format, pixel, c.in);
    EXPECT_EQ(platform::gpu::LoadPixel(c.format, pixel), c.out) << platform::gpu::FormatName(c.format) << std::hex << " " << c.in;
  }
}

TEST_F(GpuResources, DxtBlocksDecode) {
  Create();
  auto decode = [&](TextureFormat format, std::vector<uint8_t> block) {
    Texture* t = nullptr;
    EXPECT_EQ(device.CreateTexture(4, 4, 1, ResourceUsage::Plain, format, MemoryPool::Managed, t), DeviceResult::Ok);
    LockedRect locked;
    device.LockRect(t, 0, nullptr, locked);
    std::memcpy(locked.bits, block.data(), block.size());
    device.UnlockRect(t, 0);
    auto view = dynamic_cast<CpuTexture*>(t)->Level(0)->Texels();
    std::vector<uint32_t> out(view.texels, view.texels + 16);
    device.Release(t);
    return out;
  };
  // Four-colour mode: red, blue and the two thirds between; pixels 0..3 take entries 0..3.
  auto four = decode(TextureFormat::DXT1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0});
  EXPECT_EQ(four[0], 0xFFFF0000u);
  EXPECT_EQ(four[1], 0xFF0000FFu);
  EXPECT_EQ(four[2], 0xFFAA0055u);
  EXPECT_EQ(four[3], 0xFF5500AAu);
  EXPECT_EQ(four[15], 0xFFFF0000u);
  // Three-colour mode (first colour not above the second): the midpoint and transparent black.
  auto three = decode(TextureFormat::DXT1, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0});
  EXPECT_EQ(three[2], 0xFF7F007Fu);
  EXPECT_EQ(three[3], 0x00000000u);
  // DXT3: four explicit alpha bits per pixel.
  auto explicitAlpha = decode(TextureFormat::DXT3, {0x8F, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0});
  EXPECT_EQ(explicitAlpha[0], 0xFFFF0000u);
  EXPECT_EQ(explicitAlpha[1], 0x88FF0000u);
  EXPECT_EQ(explicitAlpha[2], 0x00FF0000u);
  // DXT5: alpha 255 and 0 with six steps between.
  auto interpolated = decode(TextureFormat::DXT5, {255, 0, 0x88, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0});
  EXPECT_EQ(interpolated[0] >> 24, 255u);
  EXPECT_EQ(interpolated[1] >> 24, 0u);
  EXPECT_EQ(interpolated[2] >> 24, 218u);
  EXPECT_EQ(interpolated[3] >> 24, 255u);

  // Drawn from a DXT1 texture, texels land 1:1.
  Texture* t = nullptr;
  ASSERT_EQ(device.CreateTexture(4, 4, 1, ResourceUsage::Plain, TextureFormat::DXT1, MemoryPool::Managed, t), DeviceResult::Ok);
  textures.push_back(t);
  LockedRect locked;
  device.LockRect(t, 0, nullptr, locked);
  const uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
  std::memcpy(locked.bits, block, 8);
  device.UnlockRect(t, 0);
  SpriteStates();
  device.SetTexture(0, t);
  std::vector<SpriteVertex> quad;
  SpriteQuad(quad, 9.5f, 9.5f, 13.5f, 13.5f, 0, 0, 1, 1);
  Draw(PrimitiveType::TriangleList, 2, quad);
  EXPECT_EQ(Pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(Pixel(12, 10), 0xFFAA0055u);
  device.SetTexture(0, nullptr);
}

TEST_F(GpuResources, ChangesAfterALockAreSampled) {
  Create();
  for (TextureFormat format : {TextureFormat::X8R8G8B8, TextureFormat::R5G6B5, TextureFormat::A8R8G8B8}) {
    SCOPED_TRACE(platform::gpu::FormatName(format));
    Texture* t = MakeTexture(2, 2, {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000}, format);
    SpriteStates();
    device.SetTexture(0, t);
    std::vector<SpriteVertex> quad;
    SpriteQuad(quad, -0.5f, -0.5f, 1.5f, 1.5f, 0, 0, 1, 1);
    Draw(PrimitiveType::TriangleList, 2, quad);
    EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);
    LockedRect locked;
    ASSERT_EQ(device.LockRect(t, 0, nullptr, locked), DeviceResult::Ok);
    platform::gpu::StorePixel(format, static_cast<uint8_t*>(locked.bits) + locked.pitch + platform::gpu::Info(format).bytesPerPixel, 0xFF0000FF);
    device.UnlockRect(t, 0);
    Draw(PrimitiveType::TriangleList, 2, quad);
    EXPECT_EQ(Pixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
    device.SetTexture(0, nullptr);
  }
}

TEST_F(GpuResources, ReferencesKeepObjectsAlive) {
  Create();
  Texture* t = nullptr;
  ASSERT_EQ(device.CreateTexture(4, 4, 2, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t), DeviceResult::Ok);
  Surface* level = nullptr;
  ASSERT_EQ(device.GetSurfaceLevel(t, 1, level), DeviceResult::Ok);
  EXPECT_EQ(device.LiveObjects(), 2);  // the back buffer and the texture
  device.Release(t);
  // The level keeps its texture.
  LockedRect locked;
  EXPECT_EQ(device.LockRect(level, nullptr, locked), DeviceResult::Ok);
  EXPECT_EQ(device.UnlockRect(level), DeviceResult::Ok);
  EXPECT_EQ(device.LiveObjects(), 2);
  device.Release(level);
  EXPECT_EQ(device.LiveObjects(), 1);

  // A bound texture stays alive until it is unbound or the device goes.
  ASSERT_EQ(device.CreateTexture(4, 4, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t), DeviceResult::Ok);
  device.SetTexture(3, t);
  device.Release(t);
  EXPECT_EQ(device.LiveObjects(), 2);
  // A render target set on the device outlives the caller's reference as well.
  Surface* target = nullptr;
  ASSERT_EQ(device.CreateRenderTarget(16, 16, TextureFormat::X8R8G8B8, false, target), DeviceResult::Ok);
  device.SetRenderTarget(target);
  device.Release(target);
  EXPECT_EQ(device.LiveObjects(), 3);
  device.ReleaseDevice();
  EXPECT_EQ(device.LiveObjects(), 0);
}

}  // namespace
}  // namespace qr::testing
