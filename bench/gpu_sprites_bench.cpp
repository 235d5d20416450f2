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

#include "sprite_fixtures.h"

namespace {

using namespace qr::platform;

using bench::kHeight;
using bench::kWidth;
using bench::Positions;
using bench::SpritePixels;


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

// A frame of the game: clear, a 640 x 480 opaque background cut into a 512- and a 128-wide
// texture as the runtime cuts it, then 15 key-colour 32 x 32 and 15 alpha-blended 64 x 64 sprites.
void OurFrame(benchmark::State& state, TextureFormat targetFormat) {
  HeadlessClock clock;
  HeadlessWindow window(clock);
  gpu::CpuGraphicsDevice device(window);
  PresentParameters parameters;
  parameters.backBufferWidth = kWidth;
  parameters.backBufferHeight = kHeight;
  parameters.backBufferFormat = targetFormat;
  if (device.CreateDevice(parameters, VertexProcessing::Software) != DeviceResult::Ok) {
    state.SkipWithError("no device");
    return;
  }
  auto makeTexture = [&](int w, int h, const std::vector<uint32_t>& pixels, int pw, int ph) {
    Texture* t = nullptr;
    device.CreateTexture(w, h, 1, ResourceUsage::Plain, TextureFormat::A8R8G8B8, MemoryPool::Managed, t);
    LockedRect locked;
    device.LockRect(t, 0, nullptr, locked);
    for (int y = 0; y < ph; ++y)
      std::memcpy(static_cast<uint8_t*>(locked.bits) + size_t(y) * locked.pitch,
                  pixels.data() + size_t(y) * pw, size_t(pw) * 4);
    device.UnlockRect(t, 0);
    return t;
  };
  std::vector<uint32_t> background(size_t(kWidth) * kHeight);
  for (size_t i = 0; i < background.size(); ++i) background[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  std::vector<uint32_t> left(512 * 480), right(128 * 480);
  for (int y = 0; y < 480; ++y) {
    std::memcpy(&left[size_t(y) * 512], &background[size_t(y) * kWidth], 512 * 4);
    std::memcpy(&right[size_t(y) * 128], &background[size_t(y) * kWidth + 512], 128 * 4);
  }
  Texture* tiles[2] = {makeTexture(512, 512, left, 512, 480), makeTexture(128, 512, right, 128, 480)};
  Texture* key = makeTexture(32, 32, SpritePixels(32, false), 32, 32);
  Texture* soft = makeTexture(64, 64, SpritePixels(64, true), 64, 64);

  using namespace stage_argument;
  device.SetRenderState(RenderState::CullMode, uint32_t(CullMode::None));
  device.SetRenderState(RenderState::ShadeMode, uint32_t(ShadeMode::Flat));
  device.SetTextureStageState(0, TextureStageState::ColorOperation, uint32_t(StageOperation::SelectArg1));
  device.SetTextureStageState(0, TextureStageState::ColorArgument1, kTexture);
  device.SetTextureStageState(0, TextureStageState::AlphaOperation, uint32_t(StageOperation::SelectArg1));
  device.SetSamplerState(0, SamplerState::AddressU, uint32_t(TextureAddress::Clamp));
  device.SetSamplerState(0, SamplerState::AddressV, uint32_t(TextureAddress::Clamp));
  device.SetVertexFormat(vertex_format::kPositionRhw | vertex_format::kDiffuse | vertex_format::kTexture1);
  Surface* back = nullptr;
  device.GetBackBuffer(back);
  const auto keyPositions = Positions(32), softPositions = Positions(64);
  size_t next = 0;
  auto quad = [&](Vertex* q, float l, float t, float w, float h, float u1, float v1) {
    l -= 0.5f;
    t -= 0.5f;
    q[0] = {l, t, 0.2f, 1, 0xFFFFFFFF, 0, 0};
    q[1] = {l + w, t, 0.2f, 1, 0, u1, 0};
    q[2] = {l, t + h, 0.2f, 1, 0, 0, v1};
    q[3] = {l + w, t + h, 0.2f, 1, 0xFFFFFFFF, u1, v1};
    q[4] = q[2];
    q[5] = q[1];
  };
  Vertex q[6];
  for (auto _ : state) {
    device.ColorFill(back, nullptr, 0xFF000000);
    device.BeginScene();
    // Background: opaque, alpha from the diffuse colour.
    device.SetRenderState(RenderState::AlphaTestEnable, 0);
    device.SetRenderState(RenderState::AlphaBlendEnable, 0);
    device.SetTextureStageState(0, TextureStageState::AlphaArgument1, kDiffuse);
    for (int i = 0; i < 2; ++i) {
      device.SetTexture(0, tiles[i]);
      quad(q, i * 512.0f, 0, i ? 128.0f : 512.0f, 480, 1, 480.0f / 512);
      device.DrawPrimitiveUP(PrimitiveType::TriangleList, 2, q, sizeof(Vertex));
    }
    device.SetTextureStageState(0, TextureStageState::AlphaArgument1, kTexture);
    device.SetRenderState(RenderState::AlphaTestEnable, 1);
    device.SetRenderState(RenderState::AlphaReference, 16);
    device.SetRenderState(RenderState::AlphaFunction, uint32_t(CompareFunction::Greater));
    device.SetTexture(0, key);
    for (int i = 0; i < 15; ++i) {
      auto [x, y] = keyPositions[next++ & 4095];
      quad(q, float(x), float(y), 32, 32, 1, 1);
      device.DrawPrimitiveUP(PrimitiveType::TriangleList, 2, q, sizeof(Vertex));
    }
    device.SetRenderState(RenderState::AlphaTestEnable, 0);
    device.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device.SetRenderState(RenderState::SourceBlend, uint32_t(BlendFactor::SourceAlpha));
    device.SetRenderState(RenderState::DestinationBlend, uint32_t(BlendFactor::InverseSourceAlpha));
    device.SetTexture(0, soft);
    for (int i = 0; i < 15; ++i) {
      auto [x, y] = softPositions[next++ & 4095];
      quad(q, float(x), float(y), 64, 64, 1, 1);
      device.DrawPrimitiveUP(PrimitiveType::TriangleList, 2, q, sizeof(Vertex));
    }
    device.EndScene();
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  device.SetTexture(0, nullptr);
  device.Release(back);
  for (Texture* t : {tiles[0], tiles[1], key, soft}) device.Release(t);
}

void SdlFrame(benchmark::State& state, Uint32 targetFormat) {
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, targetFormat);
  SDL_Renderer* renderer = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
  if (!renderer) {
    state.SkipWithError("no SDL software renderer");
    if (target) SDL_FreeSurface(target);
    return;
  }
  auto makeTexture = [&](int w, int h, const std::vector<uint32_t>& pixels, SDL_BlendMode mode) {
    SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, w, h);
    SDL_UpdateTexture(t, nullptr, pixels.data(), w * 4);
    SDL_SetTextureBlendMode(t, mode);
    return t;
  };
  std::vector<uint32_t> background(size_t(kWidth) * kHeight);
  for (size_t i = 0; i < background.size(); ++i) background[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  SDL_Texture* back = makeTexture(kWidth, kHeight, background, SDL_BLENDMODE_NONE);
  SDL_Texture* key = makeTexture(32, 32, SpritePixels(32, false), SDL_BLENDMODE_BLEND);
  SDL_Texture* soft = makeTexture(64, 64, SpritePixels(64, true), SDL_BLENDMODE_BLEND);
  const auto keyPositions = Positions(32), softPositions = Positions(64);
  size_t next = 0;
  for (auto _ : state) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, back, nullptr, nullptr);
    for (int i = 0; i < 15; ++i) {
      auto [x, y] = keyPositions[next++ & 4095];
      SDL_Rect d{x, y, 32, 32};
      SDL_RenderCopy(renderer, key, nullptr, &d);
    }
    for (int i = 0; i < 15; ++i) {
      auto [x, y] = softPositions[next++ & 4095];
      SDL_Rect d{x, y, 64, 64};
      SDL_RenderCopy(renderer, soft, nullptr, &d);
    }
    SDL_RenderFlush(renderer);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  for (SDL_Texture* t : {back, key, soft}) SDL_DestroyTexture(t);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(target);
}

BENCHMARK_CAPTURE(OurDevice, key_colour_32, 32, false);
BENCHMARK_CAPTURE(SdlSoftwareRenderer, key_colour_32, 32, false);
BENCHMARK_CAPTURE(OurDevice, alpha_blend_64, 64, true);
BENCHMARK_CAPTURE(SdlSoftwareRenderer, alpha_blend_64, 64, true);
BENCHMARK_CAPTURE(OurFrame, x8r8g8b8, TextureFormat::X8R8G8B8)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SdlFrame, argb8888, SDL_PIXELFORMAT_ARGB8888)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OurFrame, r5g6b5, TextureFormat::R5G6B5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SdlFrame, rgb565, SDL_PIXELFORMAT_RGB565)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
