// Drawing through the runtime as a game does (DrawGraphic, FlipScreen on the headless window)
// beside SDL2's software renderer doing the same; a frame like the game's; and the memory that
// the game's 1,050 graphics take.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "graphics/graphic_handles.h"
#include "platform/headless/headless_platform.h"
#include "qr.h"

#include "sprite_fixtures.h"

namespace {

using bench::kHeight;
using bench::kWidth;
using bench::Positions;
using bench::SpritePixels;
constexpr int kSpritesPerFrame = 1000;  // presenting is counted, shared by this many sprites


// The runtime started on the headless host with a 32-bit desktop.
struct Runtime {
  qr::platform::HeadlessPlatform host;
  Runtime() {
    host.clock.stepPerReadMicroseconds = 1;
    qr::platform::Install(&host.platform);
    SetLogFileEnabled(0);
    ChangeWindowMode(1);
    RuntimeInit();
    SetDrawTarget(-2);
  }
  ~Runtime() {
    RuntimeEnd();
    qr::platform::Install(nullptr);
  }
  // A graphic from pixels: with alpha kept, or as a key-colour picture without alpha.
  int Graphic(const std::vector<uint32_t>& pixels, int w, int h, bool alpha) {
    qr::image::BaseImage image{};
    if (alpha)
      qr::image::AllocArgb8ImagePixels(w, h, &image);
    else
      qr::image::AllocXrgb8ImagePixels(w, h, &image);
    for (int y = 0; y < h; ++y)
      std::memcpy(image.pixels + size_t(y) * size_t(image.pitch), &pixels[size_t(y) * size_t(w)], size_t(w) * 4);
    int handle = qr::graphics::CreateGraphicForImage(&image, nullptr);
    qr::graphics::TransferImageToGraphic(handle, &image, nullptr, qr::graphics::TransferRect{0, 0, w, h}, 0, 0, 0, nullptr);
    qr::image::FreeImagePixels(&image);
    return handle;
  }
};

void RuntimeSprites(benchmark::State& state, int side, bool blend) {
  Runtime runtime;
  int sprite = runtime.Graphic(SpritePixels(side, blend), side, side, blend);
  auto positions = Positions(side);
  size_t i = 0;
  for (auto _ : state) {
    for (int n = 0; n < kSpritesPerFrame; ++n, ++i) {
      auto [x, y] = positions[i % positions.size()];
      DrawGraphic(x, y, sprite, 1);
    }
    FlipScreen();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSpritesPerFrame);
}

void SdlSprites(benchmark::State& state, int side, bool blend) {
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
  SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, side, side);
  std::vector<uint32_t> pixels = SpritePixels(side, blend);
  SDL_UpdateTexture(texture, nullptr, pixels.data(), side * 4);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  auto positions = Positions(side);
  size_t i = 0;
  for (auto _ : state) {
    for (int n = 0; n < kSpritesPerFrame; ++n, ++i) {
      auto [x, y] = positions[i % positions.size()];
      SDL_Rect destination{x, y, side, side};
      SDL_RenderCopy(renderer, texture, nullptr, &destination);
    }
    SDL_RenderPresent(renderer);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSpritesPerFrame);
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(target);
}

void BM_RuntimeKeyColourSprite32(benchmark::State& s) { RuntimeSprites(s, 32, false); }
void BM_SdlKeyColourSprite32(benchmark::State& s) { SdlSprites(s, 32, false); }
void BM_RuntimeAlphaSprite64(benchmark::State& s) { RuntimeSprites(s, 64, true); }
void BM_SdlAlphaSprite64(benchmark::State& s) { SdlSprites(s, 64, true); }
BENCHMARK(BM_RuntimeKeyColourSprite32);
BENCHMARK(BM_SdlKeyColourSprite32);
BENCHMARK(BM_RuntimeAlphaSprite64);
BENCHMARK(BM_SdlAlphaSprite64);

// ClearScreen, an opaque 640 x 480 background, 15 key-colour and 15 alpha sprites, FlipScreen.
void BM_RuntimeGameLikeFrame(benchmark::State& state) {
  Runtime runtime;
  std::vector<uint32_t> field(size_t(kWidth) * kHeight);
  for (size_t i = 0; i < field.size(); ++i) field[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  int background = runtime.Graphic(field, kWidth, kHeight, false);
  int key = runtime.Graphic(SpritePixels(32, false), 32, 32, false);
  int alpha = runtime.Graphic(SpritePixels(64, true), 64, 64, true);
  auto positions = Positions(64);
  size_t i = 0;
  for (auto _ : state) {
    ClearScreen();
    DrawGraphic(0, 0, background, 0);
    for (int n = 0; n < 15; ++n, ++i) DrawGraphic(positions[i % 4096].first, positions[i % 4096].second, key, 1);
    for (int n = 0; n < 15; ++n, ++i) DrawGraphic(positions[i % 4096].first, positions[i % 4096].second, alpha, 1);
    FlipScreen();
  }
}
BENCHMARK(BM_RuntimeGameLikeFrame)->Unit(benchmark::kMicrosecond);

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// The game's graphics, loaded the way it loads them: one load per item, cells cut from strips.
void BM_GameGraphicsLoaded(benchmark::State& state) {
  namespace fs = std::filesystem;
  fs::path pote = fs::path(QR_SOURCE_DIR) / "game" / "pote";
  long before = PeakResidentKiB();
  for (auto _ : state) {
    Runtime runtime;
    runtime.host.system.currentDirectory = pote.string();
    int count = 0;
    for (const char* f : {"taitol.png", "go.png", "ki.png", "kage.png"}) count += LoadGraphic(f, 0) != -1;
    int cells[5];
    for (int i = 0; i < 256; ++i) count += LoadGraphic("pote.png", 0) != -1;
    for (int i = 0; i < 128; ++i) {
      count += LoadGraphic("in.png", 0) != -1;
      count += LoadSplitGraphic("hit.png", 5, 5, 1, 60, 60, cells, 0) == 0 ? 5 : 0;
    }
    for (int i = 0; i < 20; ++i) count += LoadGraphic("gb.png", 0) != -1;
    count += LoadSplitGraphic("man.png", 2, 2, 1, 51, 84, cells, 0) == 0 ? 2 : 0;
    state.counters["graphics"] = count;
    state.counters["peak_resident_MiB"] = double(PeakResidentKiB()) / 1024.0;
    state.counters["peak_growth_MiB"] = double(PeakResidentKiB() - before) / 1024.0;
  }
}
BENCHMARK(BM_GameGraphicsLoaded)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
