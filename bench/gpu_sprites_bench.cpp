// Sprites per second onto a 640 x 480 32-bit target: a 32 x 32 key-colour sprite (alpha test) and
// a 64 x 64 alpha-blended sprite at random integer positions, drawn through our device's
// DrawPrimitiveUP as the graphics runtime draws a graphic (two triangles, -0.5 offset), beside
// SDL2's software renderer copying the same sprite with the equivalent blend.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "platform/gpu/cpu_device.h"
#include "platform/headless/headless_clock.h"
#include "platform/headless/headless_window.h"

namespace {

using namespace qr::platform;

constexpr int kWidth = 640, kHeight = 480;

// A round sprite: opaque inside the circle, alpha 0 outside (key colour), or a soft edge.
std::vector<uint32_t> SpritePixels(int side, bool soft) {
  std::vector<uint32_t> pixels(size_t(side) * size_t(side));
  const float r = side * 0.5f;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      float dx = x + 0.5f - r, dy = y + 0.5f - r;
      float d = std::sqrt(dx * dx + dy * dy) / r;
      uint32_t alpha = soft ? uint32_t(std::max(0.0f, 1.0f - d) * 255.0f) : (d < 1.0f ? 255u : 0u);
      pixels[size_t(y) * side + x] = alpha << 24 | uint32_t(x * 7 & 255) << 16 | uint32_t(y * 5 & 255) << 8 | 0x40;
    }
  return pixels;
}

std::vector<std::pair<int, int>> Positions(int side) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> xs(0, kWidth - side), ys(0, kHeight - side);
  std::vector<std::pair<int, int>> out(4096);
  for (auto& p : out) p = {xs(random), ys(random)};
  return out;
}

struct Vertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};

void OurDevice(benchmark::State& state, int side, bool blend) {
  HeadlessClock clock;
  HeadlessWindow window(clock);
  gpu::CpuGraphicsDevice device(window);
  PresentParameters parameters;
  parameters.backBufferWidth = kWidth;
  parameters.backBufferHeight = kHeight;
  parameters.backBufferFormat = TextureFormat::X8R8G8B8;
  if (device.CreateDevice(parameters, VertexProcessing::Software) != DeviceResult::Ok) {
    state.SkipWithError("no device");
    return;
  }
  Texture* texture = nullptr;
  device.CreateTexture(side, side, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8,
                       MemoryPool::Managed, texture);
  LockedRect locked;
  device.LockRect(texture, 0, nullptr, locked);
  std::vector<uint32_t> pixels = SpritePixels(side, blend);
  for (int y = 0; y < side; ++y)
    std::memcpy(static_cast<uint8_t*>(locked.bits) + size_t(y) * locked.pitch,
                pixels.data() + size_t(y) * side, size_t(side) * 4);
  device.UnlockRect(texture, 0);

  using namespace stage_argument;
  device.SetRenderState(RenderState::CullMode, uint32_t(CullMode::None));
  device.SetRenderState(RenderState::ShadeMode, uint32_t(ShadeMode::Flat));
  device.SetTextureStageState(0, TextureStageState::ColorOperation, uint32_t(StageOperation::SelectArg1));
  device.SetTextureStageState(0, TextureStageState::ColorArgument1, kTexture);
  device.SetTextureStageState(0, TextureStageState::AlphaOperation, uint32_t(StageOperation::SelectArg1));
  device.SetTextureStageState(0, TextureStageState::AlphaArgument1, kTexture);
  device.SetSamplerState(0, SamplerState::AddressU, uint32_t(TextureAddress::Clamp));
  device.SetSamplerState(0, SamplerState::AddressV, uint32_t(TextureAddress::Clamp));
  if (blend) {
    device.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device.SetRenderState(RenderState::SourceBlend, uint32_t(BlendFactor::SourceAlpha));
    device.SetRenderState(RenderState::DestinationBlend, uint32_t(BlendFactor::InverseSourceAlpha));
  } else {
    device.SetRenderState(RenderState::AlphaTestEnable, 1);
    device.SetRenderState(RenderState::AlphaReference, 16);
    device.SetRenderState(RenderState::AlphaFunction, uint32_t(CompareFunction::Greater));
  }
  device.SetTexture(0, texture);
  device.SetVertexFormat(vertex_format::kPositionRhw | vertex_format::kDiffuse | vertex_format::kTexture1);
  device.BeginScene();
  const auto positions = Positions(side);
  size_t next = 0;
  Vertex quad[6];
  for (auto _ : state) {
    auto [px, py] = positions[next++ & 4095];
    const float l = px - 0.5f, t = py - 0.5f, r = l + side, b = t + side;
    quad[0] = {l, t, 0.2f, 1, 0xFFFFFFFF, 0, 0};
    quad[1] = {r, t, 0.2f, 1, 0, 1, 0};
    quad[2] = {l, b, 0.2f, 1, 0, 0, 1};
    quad[3] = {r, b, 0.2f, 1, 0xFFFFFFFF, 1, 1};
    quad[4] = quad[2];
    quad[5] = quad[1];
    device.DrawPrimitiveUP(PrimitiveType::TriangleList, 2, quad, sizeof(Vertex));
  }
  device.EndScene();
  state.SetItemsProcessed(int64_t(state.iterations()));
  device.SetTexture(0, nullptr);
  device.Release(texture);
}

void SdlSoftwareRenderer(benchmark::State& state, int side, bool blend) {
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* renderer = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
  if (!renderer) {
    state.SkipWithError("no SDL software renderer");
    if (target) SDL_FreeSurface(target);
    return;
  }
  SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                           SDL_TEXTUREACCESS_STATIC, side, side);
  std::vector<uint32_t> pixels = SpritePixels(side, blend);
  SDL_UpdateTexture(texture, nullptr, pixels.data(), side * 4);
  // The key-colour sprite carries alpha 0 or 255 only; SDL's blend skips and copies those.
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  const auto positions = Positions(side);
  size_t next = 0;
  for (auto _ : state) {
    auto [px, py] = positions[next++ & 4095];
    SDL_Rect destination{px, py, side, side};
    SDL_RenderCopy(renderer, texture, nullptr, &destination);
  }
  SDL_RenderPresent(renderer);
  state.SetItemsProcessed(int64_t(state.iterations()));
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(target);
}

BENCHMARK_CAPTURE(OurDevice, key_colour_32, 32, false);
BENCHMARK_CAPTURE(SdlSoftwareRenderer, key_colour_32, 32, false);
BENCHMARK_CAPTURE(OurDevice, alpha_blend_64, 64, true);
BENCHMARK_CAPTURE(SdlSoftwareRenderer, alpha_blend_64, 64, true);

}  // namespace

BENCHMARK_MAIN();
