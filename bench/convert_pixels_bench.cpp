// ConvertPixels for the conversions the graphics path makes when a picture becomes a texture,
// beside SDL doing the same conversion of the same 640 x 480 data (SDL_ConvertPixels, or a
// surface blit for palette pictures, which SDL_ConvertPixels does not take).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "image/base_image.h"

namespace {

using qr::image::ColorFormat;
constexpr int kWidth = 640, kHeight = 480;

std::vector<unsigned char> Noise(size_t bytes) {
  std::vector<unsigned char> data(bytes);
  uint32_t state = 99;
  for (auto& b : data) {
    state = state * 1664525u + 1013904223u;
    b = uint8_t(state >> 24);
  }
  return data;
}

ColorFormat Make(int (*maker)(ColorFormat*)) {
  ColorFormat f{};
  maker(&f);
  return f;
}

ColorFormat Rgb565() {
  ColorFormat f{};
  qr::image::MakeFormatFromMasks(&f, 16, 0xF800, 0x07E0, 0x001F, 0);
  return f;
}

struct Case {
  ColorFormat source, dest;
  int keyToAlpha;
  Uint32 sdlSource, sdlDest;
};

void Ours(benchmark::State& state, const Case& c) {
  int sourcePitch = kWidth * c.source.pixelBytes, destPitch = kWidth * c.dest.pixelBytes;
  std::vector<unsigned char> source = Noise(size_t(sourcePitch) * kHeight);
  std::vector<unsigned char> dest(size_t(destPitch) * kHeight);
  qr::image::PixelConversion conversion;
  conversion.destPixels = dest.data();
  conversion.destPitch = destPitch;
  conversion.destFormat = &c.dest;
  conversion.sourcePixels = source.data();
  conversion.sourcePitch = sourcePitch;
  conversion.sourceFormat = &c.source;
  conversion.right = kWidth;
  conversion.bottom = kHeight;
  conversion.keyToAlpha = c.keyToAlpha;
  conversion.keyColor = 0x000000;
  for (auto _ : state) {
    qr::image::ConvertPixels(conversion);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

void Sdl(benchmark::State& state, const Case& c) {
  int sourcePitch = kWidth * c.source.pixelBytes, destPitch = kWidth * c.dest.pixelBytes;
  std::vector<unsigned char> source = Noise(size_t(sourcePitch) * kHeight);
  std::vector<unsigned char> dest(size_t(destPitch) * kHeight);
  for (auto _ : state) {
    if (SDL_ConvertPixels(kWidth, kHeight, c.sdlSource, source.data(), sourcePitch, c.sdlDest,
                          dest.data(), destPitch) != 0)
      state.SkipWithError(SDL_GetError());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

// Our 24-bit format stores blue, green, red: SDL's BGR24.
const Case kRgb24ToArgbKey{Make(qr::image::MakeRgb24Format), Make(qr::image::MakeArgb8Format), 1,
                           SDL_PIXELFORMAT_BGR24, SDL_PIXELFORMAT_ARGB8888};
const Case kRgb24ToArgb{Make(qr::image::MakeRgb24Format), Make(qr::image::MakeArgb8Format), 0,
                        SDL_PIXELFORMAT_BGR24, SDL_PIXELFORMAT_ARGB8888};
const Case kArgbToArgbKey{Make(qr::image::MakeArgb8Format), Make(qr::image::MakeArgb8Format), 1,
                          SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_ARGB8888};
const Case kXrgbToArgbKey{Make(qr::image::MakeXrgb8Format), Make(qr::image::MakeArgb8Format), 1,
                          SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ARGB8888};
const Case kRgb24To565{Make(qr::image::MakeRgb24Format), Rgb565(), 0, SDL_PIXELFORMAT_BGR24,
                       SDL_PIXELFORMAT_RGB565};
const Case kArgbTo565{Make(qr::image::MakeArgb8Format), Rgb565(), 0, SDL_PIXELFORMAT_ARGB8888,
                      SDL_PIXELFORMAT_RGB565};

// SDL_ConvertPixels has no colour key: its figure is the plain conversion.
BENCHMARK_CAPTURE(Ours, rgb24_to_argb8_key, kRgb24ToArgbKey);
BENCHMARK_CAPTURE(Ours, rgb24_to_argb8, kRgb24ToArgb);
BENCHMARK_CAPTURE(Sdl, bgr24_to_argb8888, kRgb24ToArgb);
BENCHMARK_CAPTURE(Ours, argb8_to_argb8_key, kArgbToArgbKey);
BENCHMARK_CAPTURE(Sdl, argb8888_to_argb8888, kArgbToArgbKey);
BENCHMARK_CAPTURE(Ours, xrgb8_to_argb8_key, kXrgbToArgbKey);
BENCHMARK_CAPTURE(Sdl, rgb888_to_argb8888, kXrgbToArgbKey);
BENCHMARK_CAPTURE(Ours, rgb24_to_r5g6b5, kRgb24To565);
BENCHMARK_CAPTURE(Sdl, bgr24_to_rgb565, kRgb24To565);
BENCHMARK_CAPTURE(Ours, argb8_to_r5g6b5, kArgbTo565);
BENCHMARK_CAPTURE(Sdl, argb8888_to_rgb565, kArgbTo565);

// Palette pictures: ours through ConvertPixels, SDL through a blit of an 8-bit surface.
void OursPalette(benchmark::State& state) {
  ColorFormat palette{};
  qr::image::MakePaletteFormat(&palette);
  std::vector<unsigned char> entries = Noise(1024);
  std::memcpy(palette.palette, entries.data(), 1024);
  ColorFormat argb = Make(qr::image::MakeArgb8Format);
  std::vector<unsigned char> source = Noise(size_t(kWidth) * kHeight);
  std::vector<unsigned char> dest(size_t(kWidth) * kHeight * 4);
  qr::image::PixelConversion c;
  c.destPixels = dest.data();
  c.destPitch = kWidth * 4;
  c.destFormat = &argb;
  c.sourcePixels = source.data();
  c.sourcePitch = kWidth;
  c.sourceFormat = &palette;
  c.right = kWidth;
  c.bottom = kHeight;
  c.keyToAlpha = int(state.range(0));
  for (auto _ : state) {
    qr::image::ConvertPixels(c);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

void SdlPaletteBlit(benchmark::State& state) {
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_Surface* dest = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  std::vector<unsigned char> entries = Noise(1024);
  SDL_Color colors[256];
  for (int i = 0; i < 256; ++i)
    colors[i] = SDL_Color{entries[size_t(i) * 4 + 2], entries[size_t(i) * 4 + 1], entries[size_t(i) * 4], 255};
  SDL_SetPaletteColors(source->format->palette, colors, 0, 256);
  std::vector<unsigned char> indices = Noise(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    std::memcpy(static_cast<unsigned char*>(source->pixels) + y * source->pitch, &indices[size_t(y) * kWidth], kWidth);
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  for (auto _ : state) {
    SDL_BlitSurface(source, nullptr, dest, nullptr);
    benchmark::ClobberMemory();
  }
  SDL_FreeSurface(source);
  SDL_FreeSurface(dest);
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

BENCHMARK(OursPalette)->Arg(0)->Arg(1)->ArgName("key");
BENCHMARK(SdlPaletteBlit);

}  // namespace

BENCHMARK_MAIN();
