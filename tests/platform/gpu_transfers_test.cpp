// Fills, copies between surfaces, scaled copies, read-backs and clears.
#include "platform/gpu_fixture.h"

namespace qr::testing {
namespace {

class GpuTransfers : public GpuTest {
 protected:
  Surface* Offscreen(int w, int h, TextureFormat f, MemoryPool pool) {
    Surface* s = nullptr;
    EXPECT_EQ(device.CreateOffscreenPlainSurface(w, h, f, pool, s), DeviceResult::Ok);
    surfaces.push_back(s);
    return s;
  }
  Surface* Target(int w, int h, TextureFormat f) {
    Surface* s = nullptr;
    EXPECT_EQ(device.CreateRenderTarget(w, h, f, false, s), DeviceResult::Ok);
    surfaces.push_back(s);
    return s;
  }
  void TearDown() override {
    for (Surface* s : surfaces) device.Release(s);
    GpuTest::TearDown();
  }
  std::vector<Surface*> surfaces;
};

TEST_F(GpuTransfers, ColorFillFillsTheRectangleInTheSurfaceFormat) {
  Create();
  Surface* s = Target(8, 8, TextureFormat::R5G6B5);
  ASSERT_EQ(device.ColorFill(s, nullptr, 0xFF000000), DeviceResult::Ok);
  Rect r{2, 3, 5, 4};
  ASSERT_EQ(device.ColorFill(s, &r, 0xFFFF8040), DeviceResult::Ok);
  EXPECT_EQ(Pixel(s, 2, 3), 0xFFFF8242u);
  EXPECT_EQ(Pixel(s, 4, 3), 0xFFFF8242u);
  EXPECT_EQ(Pixel(s, 5, 3), 0xFF000000u);
  EXPECT_EQ(Pixel(s, 2, 4), 0xFF000000u);
  Rect outside{6, 6, 9, 7};
  EXPECT_EQ(device.ColorFill(s, &outside, 0), DeviceResult::InvalidCall);
  // Only default-pool colour surfaces are filled.
  Texture* managed = MakeTexture(4, 4, std::vector<uint32_t>(16, 0));
  Surface* level = nullptr;
  device.GetSurfaceLevel(managed, 0, level);
  EXPECT_EQ(device.ColorFill(level, nullptr, 0), DeviceResult::InvalidCall);
  device.Release(level);
  // A drawable texture's level is filled.
  Texture* drawable = nullptr;
  ASSERT_EQ(device.CreateTexture(4, 4, 1, ResourceUsage::RenderTarget, TextureFormat::A8R8G8B8, MemoryPool::Default, drawable), DeviceResult::Ok);
  textures.push_back(drawable);
  device.GetSurfaceLevel(drawable, 0, level);
  EXPECT_EQ(device.ColorFill(level, nullptr, 0x80123456), DeviceResult::Ok);
  EXPECT_EQ(Pixel(level, 3, 3), 0x80123456u);
  device.Release(level);
}

TEST_F(GpuTransfers, UpdateSurfaceCopiesFromSystemMemoryIntoTheDefaultPool) {
  Create();
  Surface* source = Offscreen(4, 4, TextureFormat::A8R8G8B8, MemoryPool::SystemMemory);
  LockedRect locked;
  ASSERT_EQ(device.LockRect(source, nullptr, locked), DeviceResult::Ok);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      uint32_t v = 0xFF000000u | uint32_t(x) << 16 | uint32_t(y);
      std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, &v, 4);
    }
  device.UnlockRect(source);
  Texture* drawable = nullptr;
  ASSERT_EQ(device.CreateTexture(8, 8, 1, ResourceUsage::RenderTarget, TextureFormat::A8R8G8B8, MemoryPool::Default, drawable), DeviceResult::Ok);
  textures.push_back(drawable);
  Surface* level = nullptr;
  device.GetSurfaceLevel(drawable, 0, level);
  device.ColorFill(level, nullptr, 0);
  Rect part{1, 1, 3, 4};
  ASSERT_EQ(device.UpdateSurface(source, &part, level, 5, 4), DeviceResult::Ok);
  EXPECT_EQ(Pixel(level, 5, 4), 0xFF010001u);
  EXPECT_EQ(Pixel(level, 6, 6), 0xFF020003u);
  EXPECT_EQ(Pixel(level, 4, 4), 0u);
  EXPECT_EQ(Pixel(level, 7, 4), 0u);
  // The copy must fit, the formats match and the pools be the right way round.
  EXPECT_EQ(device.UpdateSurface(source, &part, level, 7, 4), DeviceResult::InvalidCall);
  Surface* other = Offscreen(4, 4, TextureFormat::X8R8G8B8, MemoryPool::SystemMemory);
  EXPECT_EQ(device.UpdateSurface(other, nullptr, level, 0, 0), DeviceResult::InvalidCall);
  EXPECT_EQ(device.UpdateSurface(level, nullptr, source, 0, 0), DeviceResult::InvalidCall);
  device.Release(level);
}

TEST_F(GpuTransfers, StretchRectConvertsAndScales) {
  Create();
  Surface* source = Target(4, 2, TextureFormat::X8R8G8B8);
  device.ColorFill(source, nullptr, 0xFFFF0000);
  Rect right{2, 0, 4, 2};
  device.ColorFill(source, &right, 0xFF0000FF);
  // Same size into another format.
  Surface* sixteen = Target(4, 2, TextureFormat::R5G6B5);
  ASSERT_EQ(device.StretchRect(source, nullptr, sixteen, nullptr, TextureFilter::None), DeviceResult::Ok);
  EXPECT_EQ(Pixel(sixteen, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(Pixel(sixteen, 3, 1), 0xFF0000FFu);
  // Twice the size with point filtering: each source pixel becomes 2 x 2.
  Rect big{0, 0, 8, 4};
  ASSERT_EQ(device.StretchRect(source, nullptr, backBuffer, &big, TextureFilter::Point), DeviceResult::Ok);
  EXPECT_EQ(Pixel(3, 3), 0xFFFF0000u);
  EXPECT_EQ(Pixel(4, 0), 0xFF0000FFu);
  // Linear filtering mixes across the colour boundary.
  ASSERT_EQ(device.StretchRect(source, nullptr, backBuffer, &big, TextureFilter::Linear), DeviceResult::Ok);
  EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
  EXPECT_NE(Pixel(3, 0) & 0xFF, 0u);
  EXPECT_NE(Pixel(3, 0) & 0xFF0000, 0u);
  // Overlapping parts of one surface, or a destination that is not a render target, are refused.
  Rect a{0, 0, 3, 2}, b{1, 0, 4, 2};
  EXPECT_EQ(device.StretchRect(source, &a, source, &b, TextureFilter::None), DeviceResult::InvalidCall);
  Surface* plain = Offscreen(4, 2, TextureFormat::X8R8G8B8, MemoryPool::Default);
  EXPECT_EQ(device.StretchRect(source, nullptr, plain, nullptr, TextureFilter::None), DeviceResult::InvalidCall);
  Rect outside{0, 0, 5, 2};
  EXPECT_EQ(device.StretchRect(source, &outside, backBuffer, nullptr, TextureFilter::None), DeviceResult::InvalidCall);
}

TEST_F(GpuTransfers, GetRenderTargetDataReadsBackIntoSystemMemory) {
  Create();
  Fill(0xFF336699);
  Surface* copy = Offscreen(64, 48, TextureFormat::X8R8G8B8, MemoryPool::SystemMemory);
  ASSERT_EQ(device.GetRenderTargetData(backBuffer, copy), DeviceResult::Ok);
  EXPECT_EQ(Pixel(copy, 63, 47), 0xFF336699u);
  Surface* small = Offscreen(32, 48, TextureFormat::X8R8G8B8, MemoryPool::SystemMemory);
  EXPECT_EQ(device.GetRenderTargetData(backBuffer, small), DeviceResult::InvalidCall);
  Surface* wrongPool = Offscreen(64, 48, TextureFormat::X8R8G8B8, MemoryPool::Default);
  EXPECT_EQ(device.GetRenderTargetData(backBuffer, wrongPool), DeviceResult::InvalidCall);
}

TEST_F(GpuTransfers, ClearNeedsADepthSurfaceForDepth) {
  Create();
  EXPECT_EQ(device.Clear(clear_flags::kZBuffer, 0, 1.0f), DeviceResult::InvalidCall);
  EXPECT_EQ(device.Clear(clear_flags::kTarget, 0xFF445566, 1.0f), DeviceResult::Ok);
  EXPECT_EQ(Pixel(0, 0), 0xFF445566u);
  EXPECT_EQ(Pixel(63, 47), 0xFF445566u);
}

}  // namespace
}  // namespace qr::testing
