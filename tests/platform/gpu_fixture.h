// A device on a headless window, with helpers to make textures from ARGB words, to write the
// sprite quads the graphics runtime writes, and to read the render target back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gpu/cpu_device.h"
#include "platform/gpu/formats.h"
#include "platform/headless/headless_clock.h"
#include "platform/headless/headless_window.h"

namespace qr::testing {

using namespace qr::platform;

// The vertex of a textured sprite: x, y, z, rhw, diffuse, u, v (28 bytes).
struct SpriteVertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
// An untextured vertex (20 bytes).
struct ColourVertex {
  float x, y, z, rhw;
  uint32_t diffuse;
};
constexpr uint32_t kSpriteFormat =
    vertex_format::kPositionRhw | vertex_format::kDiffuse | vertex_format::kTexture1;
constexpr uint32_t kColourFormat = vertex_format::kPositionRhw | vertex_format::kDiffuse;

// Six vertices as the runtime writes a tile: top-left, top-right, bottom-left, then bottom-right,
// bottom-left, top-right; the colour only in the first vertex of each triangle.
inline void SpriteQuad(std::vector<SpriteVertex>& out, float left, float top, float right,
                       float bottom, float u0, float v0, float u1, float v1,
                       uint32_t diffuse = 0xFFFFFFFFu) {
  out.push_back({left, top, 0.2f, 1, diffuse, u0, v0});
  out.push_back({right, top, 0.2f, 1, 0, u1, v0});
  out.push_back({left, bottom, 0.2f, 1, 0, u0, v1});
  out.push_back({right, bottom, 0.2f, 1, diffuse, u1, v1});
  out.push_back({left, bottom, 0.2f, 1, 0, u0, v1});
  out.push_back({right, top, 0.2f, 1, 0, u1, v0});
}

class GpuTest : public ::testing::Test {
 protected:
  GpuTest() : window(clock), device(window) {}

  void SetUp() override {
    WindowDescription description;
    description.className = "gpu";
    description.bounds = Rect{0, 0, 64, 48};
    ASSERT_TRUE(window.Create(description));
  }
  void TearDown() override {
    for (Texture* t : textures) device.Release(t);
    textures.clear();
    device.ReleaseDevice();
    EXPECT_EQ(device.LiveObjects(), 0) << "objects not released";
  }

  void Create(int width = 64, int height = 48, TextureFormat format = TextureFormat::X8R8G8B8) {
    PresentParameters p;
    p.backBufferWidth = width;
    p.backBufferHeight = height;
    p.backBufferFormat = format;
    ASSERT_EQ(device.CreateDevice(p, VertexProcessing::Software), DeviceResult::Ok);
    Surface* back = nullptr;
    ASSERT_EQ(device.GetBackBuffer(back), DeviceResult::Ok);
    backBuffer = back;
    device.Release(back);  // the device keeps it alive
    ASSERT_EQ(device.SetRenderState(RenderState::CullMode, uint32_t(CullMode::None)),
              DeviceResult::Ok);
  }

  // A managed texture of one level holding these ARGB words (row after row).
  Texture* MakeTexture(int width, int height, const std::vector<uint32_t>& argb,
                       TextureFormat format = TextureFormat::A8R8G8B8) {
    Texture* texture = nullptr;
    EXPECT_EQ(device.CreateTexture(width, height, 1, ResourceUsage::Plain, format,
                                   MemoryPool::Managed, texture),
              DeviceResult::Ok);
    if (!texture) return nullptr;
    LockedRect locked;
    EXPECT_EQ(device.LockRect(texture, 0, nullptr, locked), DeviceResult::Ok);
    for (int y = 0; y < height; ++y)
      platform::gpu::RowFromArgb(format, argb.data() + size_t(y) * width,
                                 static_cast<uint8_t*>(locked.bits) + size_t(y) * locked.pitch,
                                 width);
    EXPECT_EQ(device.UnlockRect(texture, 0), DeviceResult::Ok);
    textures.push_back(texture);
    return texture;
  }

  // The runtime's sprite states: flat shading, stage 0 colour and alpha from the texture.
  void SpriteStates() {
    using namespace stage_argument;
    device.SetRenderState(RenderState::ShadeMode, uint32_t(ShadeMode::Flat));
    device.SetTextureStageState(0, TextureStageState::ColorOperation,
                                uint32_t(StageOperation::SelectArg1));
    device.SetTextureStageState(0, TextureStageState::ColorArgument1, kTexture);
    device.SetTextureStageState(0, TextureStageState::AlphaOperation,
                                uint32_t(StageOperation::SelectArg1));
    device.SetTextureStageState(0, TextureStageState::AlphaArgument1, kTexture);
    device.SetSamplerState(0, SamplerState::AddressU, uint32_t(TextureAddress::Clamp));
    device.SetSamplerState(0, SamplerState::AddressV, uint32_t(TextureAddress::Clamp));
    device.SetVertexFormat(kSpriteFormat);
  }

  // The colour stage 0 takes from the diffuse colour alone (untextured shapes).
  void ColourStates() {
    using namespace stage_argument;
    device.SetTextureStageState(0, TextureStageState::ColorOperation,
                                uint32_t(StageOperation::SelectArg1));
    device.SetTextureStageState(0, TextureStageState::ColorArgument1, kDiffuse);
    device.SetTextureStageState(0, TextureStageState::AlphaOperation,
                                uint32_t(StageOperation::SelectArg1));
    device.SetTextureStageState(0, TextureStageState::AlphaArgument1, kDiffuse);
    device.SetVertexFormat(kColourFormat);
  }

  template <typename Vertex>
  DeviceResult Draw(PrimitiveType type, int count, const std::vector<Vertex>& vertices) {
    EXPECT_EQ(device.BeginScene(), DeviceResult::Ok);
    DeviceResult r = device.DrawPrimitiveUP(type, count, vertices.data(), int(sizeof(Vertex)));
    EXPECT_EQ(device.EndScene(), DeviceResult::Ok);
    return r;
  }

  // The pixel of a surface as ARGB (formats without alpha read opaque).
  uint32_t Pixel(Surface* surface, int x, int y) {
    auto* s = dynamic_cast<platform::gpu::CpuSurface*>(surface);
    const auto format = s->Format();
    return platform::gpu::LoadPixel(
        format, s->Row(y) + size_t(x) * size_t(platform::gpu::Info(format).bytesPerPixel));
  }
  uint32_t Pixel(int x, int y) { return Pixel(backBuffer, x, y); }

  void Fill(uint32_t argb) { ASSERT_EQ(device.ColorFill(backBuffer, nullptr, argb), DeviceResult::Ok); }

  platform::HeadlessClock clock;
  platform::HeadlessWindow window;
  platform::gpu::CpuGraphicsDevice device;
  Surface* backBuffer = nullptr;
  std::vector<Texture*> textures;
};

}  // namespace qr::testing
